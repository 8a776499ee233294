#include "cli/CLI.h"

#include "cli/Output.h"
#include "cli/Signals.h"
#include "id3/FileName.h"
#include "id3/Inspect.h"
#include "shows/Show.h"

namespace CLI {
namespace {

using namespace Qt::Literals::StringLiterals;

const QString listOption = u"--list"_s;
const QString tagOption = u"--tag"_s;
const QString undoOption = u"--undo"_s;
const QString inspectOption = u"--inspect"_s;
const QString showOption = u"--show"_s;
const QString snapshotOption = u"--snapshot"_s;
const QString helpOption = u"--help"_s;
const QString versionOption = u"--version"_s;
const QString dryRunOption = u"--dry-run"_s;
const QString jsonOption = u"--json"_s;
const QString nullOption = u"--null"_s;
const QString defaultSnapshotFolder = u"/tmp/pelamo"_s;

Format formatOf(const Arguments& arguments)
{
    return arguments.has(jsonOption) ? Format::Json : Format::People;
}

using Batch = std::function<void(const ShowStore::ResultHandler& onResult)>;

// Runs a batch with one line per file; returns the exit status. Each line goes
// out as soon as its file is done: a run that is killed has still told the
// truth about every file it finished.
int report(QTextStream& out, Format format, const QString& verb, const std::function<QStringList()>& files,
    const Batch& batch)
{
    bool failed = false;
    const StopSignals stop;
    TerminalProgress progress(verb, files);
    batch([&](const TagResult& result) {
        progress.erase();
        out << resultLine(result, format) << '\n';
        out.flush();
        progress.fileDone();
        failed = failed || !result.ok;
        return stop.received() == 0;
    });
    progress.erase();
    if (const int signal = stop.received())
        return signalStatusBase + signal;
    return failed ? FileFailed : Success;
}

// The files the paths stand for, those directly inside folders too.
QList<QUrl> locationsOf(const QStringList& paths)
{
    QList<QUrl> locations;
    for (const QString& path : paths)
        locations.append(FileName::url(FileName::absolute(path)));
    return locations;
}

int tag(const Arguments& arguments, ShowStore& store, QTextStream& out, QTextStream& err)
{
    const std::optional<QString> showText = arguments.value(showOption);
    const std::optional<Show> show = showText ? store.showNamed(*showText) : std::nullopt;
    if (!show) {
        QStringList names;
        for (const Show& s : store.shows())
            names.append(s.name);
        err << "Unknown or missing --show. Shows: " << names.join(u", "_s) << '\n';
        err.flush();
        return UsageError;
    }
    const QList<QUrl> files = locationsOf(arguments.paths);
    if (files.isEmpty()) {
        err << "No files given\n";
        err.flush();
        return UsageError;
    }
    const bool dryRun = arguments.has(dryRunOption);
    const auto notice = [&err](const QString& text) {
        err << "pelamo: " << FileName::singleLine(text) << '\n';
        err.flush();
    };
    return report(
        out, formatOf(arguments), dryRun ? u"Reading"_s : u"Tagging"_s,
        [&] { return ShowStore::expand(files); },
        [&](const ShowStore::ResultHandler& onResult) { store.tag(files, *show, onResult, notice, dryRun); });
}

int undo(const Arguments& arguments, ShowStore& store, QTextStream& out, QTextStream& err)
{
    const QStringList records = ShowStore::undoRecords(store.undoFolder());
    if (records.isEmpty()) {
        err << "Nothing to undo\n";
        err.flush();
        return UsageError;
    }
    const bool dryRun = arguments.has(dryRunOption);
    return report(
        out, formatOf(arguments), dryRun ? u"Reading"_s : u"Undoing"_s,
        [&] { return ShowStore::undoTargets(records); },
        [&](const ShowStore::ResultHandler& onResult) { store.undo(onResult, dryRun); });
}

int inspect(const Arguments& arguments, QTextStream& out, QTextStream& err)
{
    const QStringList files = ShowStore::expand(locationsOf(arguments.paths));
    if (files.isEmpty()) {
        err << "No files given\n";
        err.flush();
        return UsageError;
    }
    const Format format = formatOf(arguments);
    bool failed = false;
    for (const QString& file : files) {
        const auto inspected = ID3::inspect(file);
        failed = failed || std::holds_alternative<ID3::Failure>(inspected);
        out << inspectionText(file, inspected, format) << '\n';
        out.flush();
    }
    return failed ? FileFailed : Success;
}

int list(const Arguments& arguments, const ShowStore& store, QTextStream& out)
{
    // For shell completion: whole names, whatever they hold, read without writing.
    if (arguments.has(nullOption)) {
        for (const Show& show : store.shows())
            out << show.name << QChar(u'\0');
        return Success;
    }
    for (const Show& show : store.shows())
        out << showLine(show, formatOf(arguments)) << '\n';
    return Success;
}

} // namespace

QStringList arguments(int argc, char** argv)
{
    QStringList decoded;
    for (int i = 1; i < argc; ++i)
        decoded.append(FileName::decode(argv[i]));
    return decoded;
}

void describe(QCoreApplication& app)
{
    app.setOrganizationName(u"Vantorel"_s);
    app.setApplicationName(u"Pelamo"_s);
    app.setApplicationVersion(QStringLiteral(PELAMO_VERSION));
}

Mode mode(const QStringList& arguments)
{
    if (rendersSnapshots(arguments))
        return Mode::Pictures;
    return isCommandLine(arguments) ? Mode::Tool : Mode::Desktop;
}

bool isCommandLine(const QStringList& arguments)
{
    const Arguments parsed = parse(arguments);
    for (const QString& option :
        {tagOption, undoOption, listOption, inspectOption, snapshotOption, helpOption, versionOption})
        if (parsed.has(option))
            return true;
    return false;
}

bool rendersSnapshots(const QStringList& arguments)
{
    const Arguments parsed = parse(arguments);
    return parsed.has(snapshotOption) && !parsed.has(helpOption) && !parsed.has(versionOption)
        && !parsed.has(listOption) && !parsed.has(inspectOption);
}

QString listLine(const Show& show)
{
    return showLine(show, Format::People);
}

QString usage()
{
    return QStringLiteral(
        "Usage:\n"
        "  pelamo [--library FOLDER] [FILE...]\n"
        "      Start the desktop application; MP3 files and folders given wait for a show.\n"
        "  pelamo --list [--json | --null] [--library FOLDER]\n"
        "      Print one line per show: name, title, artist, genre and whether it has a cover;\n"
        "      --null prints only the names, each ended by a NUL byte, for shell completion.\n"
        "  pelamo --tag --show NAME [--dry-run] [--json] [--library FOLDER] PATH...\n"
        "      Tag MP3 files, and the MP3 files directly inside folders, with the show\n"
        "      whose name or title is NAME (letter case ignored). --dry-run writes\n"
        "      nothing and says what tagging would do, and what each file would lose.\n"
        "  pelamo --undo [--dry-run] [--json] [--library FOLDER]\n"
        "      Put every file of the newest tagging batch back as it was before, byte\n"
        "      for byte; a file changed since it was tagged is left as it is.\n"
        "  pelamo --inspect [--json] PATH...\n"
        "      Print the tags MP3 files have now, frame by frame, with their audio's\n"
        "      size and SHA-256. Writes nothing.\n"
        "  pelamo [--library FOLDER] --snapshot [FOLDER]\n"
        "      Render the program's windows into PNG files (default folder /tmp/pelamo).\n"
        "  pelamo [--library FOLDER] --capture FOLDER [--appearance light|dark]\n"
        "         [--size WIDTHxHEIGHT] [--sample-dir FOLDER]\n"
        "      Start the desktop application, tag the MP3 files of the sample folder\n"
        "      with the selected show and photograph the main window into FOLDER.\n"
        "      Needs a display.\n"
        "  pelamo --help | --version\n"
        "\n"
        "Options take their value from the next argument, as given. --json prints one\n"
        "JSON object a line, one for each show or file (see the manual page).\n"
        "\n"
        "Exit status:\n"
        "  0  success: the list was printed, or every file was tagged, put back or read\n"
        "  1  at least one file could not be tagged, put back or read (it is left as it was)\n"
        "  2  usage error: no show given or matched, nothing to tag, or nothing to undo\n"
        "  3  --capture: no window appeared, or there is no display\n"
        "  4  --capture: the picture could not be taken or written\n"
        "  129, 130, 143  stopped by SIGHUP, SIGINT or SIGTERM; the lines printed\n"
        "     are the files done\n"
        "\n"
        "Library: \"shows.json\" and a \"Covers\" folder, by default in\n"
        "  %1\n"
        "\n"
        "The manual page tells more: man pelamo\n")
        .arg(ShowStore::defaultFolder());
}

int run(const QStringList& given, QTextStream& out, QTextStream& err, const SnapshotMode& snapshot,
    const QString& seedFolder)
{
    const Arguments arguments = parse(given);
    if (arguments.has(helpOption)) {
        out << usage();
        return Success;
    }
    if (arguments.has(versionOption)) {
        out << "Pelamo " << PELAMO_VERSION << '\n';
        return Success;
    }
    // Looking at files needs no library, and opens none.
    if (arguments.has(inspectOption))
        return inspect(arguments, out, err);

    // A dry run and a completion only look at the library: one that is missing
    // or can't be read stays as it is.
    const bool looks
        = arguments.has(dryRunOption) || (arguments.has(listOption) && arguments.has(nullOption));
    ShowStore store(arguments.libraryFolder(), seedFolder, nullptr,
        looks ? ShowStore::Access::ReadOnly : ShowStore::Access::ReadWrite);

    if (arguments.has(listOption))
        return list(arguments, store, out);
    if (arguments.has(snapshotOption)) {
        if (!snapshot) {
            err << "pelamo: --snapshot is not available in this build\n";
            return UsageError;
        }
        return snapshot(store, arguments.value(snapshotOption).value_or(defaultSnapshotFolder));
    }
    if (arguments.has(undoOption))
        return undo(arguments, store, out, err);
    return tag(arguments, store, out, err);
}

} // namespace CLI
