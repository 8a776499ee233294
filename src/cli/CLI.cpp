#include "cli/CLI.h"

#include "shows/Show.h"

#include <QFileInfo>

namespace CLI {
namespace {

const QString listOption = QStringLiteral("--list");
const QString tagOption = QStringLiteral("--tag");
const QString showOption = QStringLiteral("--show");
const QString libraryOption = QStringLiteral("--library");
const QString snapshotOption = QStringLiteral("--snapshot");
const QString helpOption = QStringLiteral("--help");
const QString versionOption = QStringLiteral("--version");
const QString defaultSnapshotFolder = QStringLiteral("/tmp/pelamo");

QString field(QStringView label, QStringView separator, const QString& value)
{
    return QStringLiteral("\t ") + label.toString() + separator.toString() + value;
}

} // namespace

bool isCommandLine(const QStringList& arguments)
{
    for (const QString& option : {tagOption, listOption, snapshotOption, helpOption, versionOption})
        if (arguments.contains(option))
            return true;
    return false;
}

bool rendersSnapshots(const QStringList& arguments)
{
    return arguments.contains(snapshotOption) && !arguments.contains(helpOption)
        && !arguments.contains(versionOption) && !arguments.contains(listOption);
}

QString listLine(const Show& show)
{
    const QString equals = QStringLiteral("=");
    const QString title = show.titleFromFileName ? QStringLiteral("<file name>") : show.title;
    return show.name + field(u"title", equals, title) + field(u"artist", equals, show.artist)
        + field(u"genre", equals, show.genre)
        + field(u"cover", equals, show.coverFile ? QStringLiteral("true") : QStringLiteral("false"));
}

QString usage()
{
    return QStringLiteral(
        "Usage:\n"
        "  pelamo [--library FOLDER] [FILE...]\n"
        "      Start the desktop application; MP3 files and folders given wait for a show.\n"
        "  pelamo --list [--library FOLDER]\n"
        "      Print one line per show: name, title, artist, genre and whether it has a cover.\n"
        "  pelamo --tag --show NAME [--library FOLDER] PATH...\n"
        "      Tag MP3 files, and the MP3 files directly inside folders, with the show\n"
        "      whose name or title is NAME (letter case ignored).\n"
        "  pelamo --snapshot [FOLDER] [--library FOLDER]\n"
        "      Render the program's windows into PNG files (default folder /tmp/pelamo).\n"
        "  pelamo --help | --version\n"
        "\n"
        "Options take their value from the next argument, as given.\n"
        "\n"
        "Exit status:\n"
        "  0  success: the list was printed, or every file was tagged\n"
        "  1  at least one file could not be tagged (it is left as it was)\n"
        "  2  usage error: no show given or matched, or nothing to tag\n"
        "\n"
        "Library: \"shows.json\" and a \"Covers\" folder, by default in\n"
        "  %1\n")
        .arg(ShowStore::defaultFolder());
}

int run(const QStringList& arguments, QTextStream& out, QTextStream& err, const SnapshotMode& snapshot,
    const QString& seedFolder)
{
    if (arguments.contains(helpOption)) {
        out << usage();
        return Success;
    }
    if (arguments.contains(versionOption)) {
        out << "Pelamo " << PELAMO_VERSION << '\n';
        return Success;
    }

    ShowStore store(libraryFolder(arguments), seedFolder);

    if (arguments.contains(listOption)) {
        for (const Show& show : store.shows())
            out << listLine(show) << '\n';
        return Success;
    }
    if (arguments.contains(snapshotOption)) {
        if (!snapshot) {
            err << "pelamo: --snapshot is not available in this build\n";
            return UsageError;
        }
        return snapshot(store, value(snapshotOption, arguments).value_or(defaultSnapshotFolder));
    }
    return tag(arguments, store, out, err);
}

int tag(const QStringList& arguments, ShowStore& store, QTextStream& out, QTextStream& err)
{
    const std::optional<QString> showText = value(showOption, arguments);
    const std::optional<Show> show = showText ? store.showNamed(*showText) : std::nullopt;
    if (!show) {
        QStringList names;
        for (const Show& s : store.shows())
            names.append(s.name);
        err << "Unknown or missing --show. Shows: " << names.join(QStringLiteral(", ")) << '\n';
        err.flush();
        return UsageError;
    }

    // Options, and the values they took, are never files, wherever they stand.
    const QStringList notFiles {
        tagOption, showOption, libraryOption, *showText, libraryFolder(arguments).value_or(QString())};
    QList<QUrl> files;
    for (const QString& argument : arguments)
        if (!notFiles.contains(argument))
            files.append(QUrl::fromLocalFile(QFileInfo(argument).absoluteFilePath()));
    if (files.isEmpty()) {
        err << "No files given\n";
        err.flush();
        return UsageError;
    }

    bool failed = false;
    for (const TagResult& result : store.tag(files, *show)) {
        out << (result.ok ? "OK  " : "FAIL") << ' ' << result.file << QStringLiteral(" \u2014 ")
            << result.message << '\n';
        failed = failed || !result.ok;
    }
    return failed ? FileFailed : Success;
}

} // namespace CLI
