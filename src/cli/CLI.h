#pragma once

#include "library/Arguments.h"
#include "library/ShowStore.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>

struct Show;

// The command-line tool: lists the shows of a library and tags files with one of
// them. It writes only to the streams it is handed and returns the exit status.
namespace CLI {

enum Status { Success = 0, FileFailed = 1, UsageError = 2 };

// Renders the views of a library into a folder; returns the exit status.
using SnapshotMode = std::function<int(ShowStore& store, const QString& folder)>;

// The arguments after the program's name, decoded the way file names are, so
// that any name the system hands over comes back to it unchanged.
QStringList arguments(int argc, char** argv);

// Names the application (organisation, name, version) for settings and messages.
void describe(QCoreApplication& app);

// Listing and tagging as a process: starts Qt's core only and returns the exit status.
int main(int argc, char** argv, const QStringList& arguments);

// What a run of the program is, from its arguments: the one place that decides.
enum class Mode {
    Tool, // listing, tagging, undoing, help and version, on Qt's core alone
    Pictures, // snapshots of the views, drawn off screen
    Desktop, // the window, and the capture of it
};
Mode mode(const QStringList& arguments);

// True when the arguments ask for the command-line tool rather than the desktop application.
bool isCommandLine(const QStringList& arguments);
// True when the tool will render pictures, which needs the GUI machinery.
bool rendersSnapshots(const QStringList& arguments);

int run(const QStringList& arguments, QTextStream& out, QTextStream& err, const SnapshotMode& snapshot = {},
    const QString& seedFolder = ShowStore::defaultSeedFolder);

// One show as "--list" prints it, without the line feed.
QString listLine(const Show& show);

QString usage();

} // namespace CLI
