#pragma once

// The process entry: picks the command-line tool or the desktop application.
#include <QList>
#include <QStringList>
#include <QUrl>

namespace Entry {

int main(int argc, char** argv);

// The files and folders named on a desktop launch, options and their values left out.
QList<QUrl> openedFiles(const QStringList& arguments);

} // namespace Entry
