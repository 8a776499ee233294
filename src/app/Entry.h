#pragma once

// The desktop entry, run from the desktop module: the window, the picture modes,
// and the command line too when it is asked for here.
#include <QList>
#include <QStringList>
#include <QUrl>

namespace Entry {

int main(int argc, char** argv);

// The files and folders named on a desktop launch, options and their values left out.
QList<QUrl> openedFiles(const QStringList& arguments);

} // namespace Entry
