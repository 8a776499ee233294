#pragma once

// The entries of the desktop module, run by the program once it has decided
// which of them a run is (CLI::mode).
#include "library/Arguments.h"

#include <QList>
#include <QStringList>
#include <QUrl>

namespace Entry {

// The snapshots of the views, drawn off screen.
int runPictures(int argc, char** argv);
// The window, with a capture of it when one is asked for.
int runDesktop(int argc, char** argv);

// The files and folders named on a desktop launch, options and their values left out.
QList<QUrl> openedFiles(const CLI::Arguments& arguments);

} // namespace Entry
