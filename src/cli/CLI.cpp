#include "cli/CLI.h"

#include "id3/FileName.h"
#include "shows/Show.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <csignal>

namespace CLI {
namespace {

const QString listOption = QStringLiteral("--list");
const QString tagOption = QStringLiteral("--tag");
const QString undoOption = QStringLiteral("--undo");
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

// Set by a signal handler on whichever thread the signal lands, read by the batch's.
std::atomic<int> stopSignal = 0;
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only touch lock-free atomics");

void noteStop(int signal)
{
    stopSignal = signal;
}

// While a batch runs, Ctrl-C, a hang-up or a polite kill end it after the file
// in progress, so no file is left half done and the lines printed are true.
class StopSignals
{
public:
    StopSignals()
    {
        stopSignal = 0;
        struct sigaction action
        {
        };
        action.sa_handler = &noteStop;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        // A signal the caller chose to ignore (nohup, a background job) stays ignored.
        for (std::size_t i = 0; i < m_signals.size(); ++i) {
            sigaction(m_signals[i], nullptr, &m_previous[i]);
            if (m_previous[i].sa_handler != SIG_IGN)
                sigaction(m_signals[i], &action, nullptr);
        }
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    ~StopSignals()
    {
        for (std::size_t i = 0; i < m_signals.size(); ++i)
            sigaction(m_signals[i], &m_previous[i], nullptr);
    }

    int received() const { return stopSignal.load(); }

private:
    static constexpr std::array<int, 3> m_signals {SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> m_previous {};
};

// Shells report a process ended by a signal as 128 plus its number.
constexpr int signalStatusBase = 128;

// One line on a terminal's standard error while a batch runs: the count, the
// file in progress and the speed so far, drawn over itself and erased before
// every result line and at the end. Nothing at all when standard error is not
// a terminal.
class TerminalProgress
{
public:
    // The files are asked for only when there is a terminal to show them.
    TerminalProgress(QString verb, const std::function<QStringList()>& files)
        : m_verb(std::move(verb))
    {
        if (::isatty(STDERR_FILENO) == 1)
            m_files = files();
        m_clock.start();
        draw();
    }

    void fileDone()
    {
        if (m_done < m_files.size())
            m_bytes += sizeOf(m_files.at(m_done++));
        draw();
    }

    void erase()
    {
        if (m_drawn)
            write("\r\x1b[K");
        m_drawn = false;
    }

private:
    void draw()
    {
        if (m_files.isEmpty() || m_done >= m_files.size())
            return;
        const double seconds = double(m_clock.elapsed()) / 1000;
        QString line = QStringLiteral("%1 %2 of %3 \u00b7 %4")
                           .arg(m_verb)
                           .arg(m_done + 1)
                           .arg(m_files.size())
                           .arg(FileName::singleLine(QFileInfo(m_files.at(m_done)).fileName()));
        if (m_done > 0 && seconds > 0)
            line += QStringLiteral(" \u00b7 %1 MB/s").arg(double(m_bytes) / 1e6 / seconds, 0, 'f', 1);
        winsize size {};
        if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 && line.size() >= size.ws_col)
            line = line.left(size.ws_col - 2) + u'\u2026';
        write("\r\x1b[K" + line.toUtf8());
        m_drawn = true;
    }

    static qint64 sizeOf(const QString& path)
    {
        struct stat status
        {
        };
        return ::stat(FileName::encode(path).constData(), &status) == 0 ? qint64(status.st_size) : 0;
    }

    static void write(const QByteArray& bytes)
    {
        (void)!::write(STDERR_FILENO, bytes.constData(), bytes.size());
    }

    QStringList m_files;
    QString m_verb;
    qsizetype m_done = 0;
    qint64 m_bytes = 0;
    QElapsedTimer m_clock;
    bool m_drawn = false;
};

using Batch = std::function<void(const ShowStore::ResultHandler& onResult)>;

// Runs a batch with one line per file; returns the exit status. Each line goes
// out as soon as its file is done: a run that is killed has still told the
// truth about every file it finished.
int report(
    QTextStream& out, const QString& verb, const std::function<QStringList()>& files, const Batch& batch)
{
    bool failed = false;
    const StopSignals stop;
    TerminalProgress progress(verb, files);
    batch([&](const TagResult& result) {
        progress.erase();
        out << (result.ok ? "OK  " : "FAIL") << ' ' << FileName::singleLine(result.file)
            << QStringLiteral(" \u2014 ") << FileName::singleLine(result.message) << '\n';
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
    app.setOrganizationName(QStringLiteral("Vantorel"));
    app.setApplicationName(QStringLiteral("Pelamo"));
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
    for (const QString& option :
        {tagOption, undoOption, listOption, snapshotOption, helpOption, versionOption})
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
        "  pelamo --undo [--library FOLDER]\n"
        "      Put every file of the newest tagging batch back as it was before, byte\n"
        "      for byte; a file changed since it was tagged is left as it is.\n"
        "  pelamo [--library FOLDER] --snapshot [FOLDER]\n"
        "      Render the program's windows into PNG files (default folder /tmp/pelamo).\n"
        "  pelamo [--library FOLDER] --capture FOLDER [--appearance light|dark]\n"
        "         [--size WIDTHxHEIGHT] [--sample-dir FOLDER]\n"
        "      Start the desktop application, tag the MP3 files of the sample folder\n"
        "      with the selected show and photograph the main window into FOLDER.\n"
        "      Needs a display.\n"
        "  pelamo --help | --version\n"
        "\n"
        "Options take their value from the next argument, as given.\n"
        "\n"
        "Exit status:\n"
        "  0  success: the list was printed, or every file was tagged or put back\n"
        "  1  at least one file could not be tagged or put back (it is left as it was)\n"
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
    if (arguments.contains(undoOption))
        return undo(store, out, err);
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
            files.append(FileName::url(FileName::absolute(argument)));
    if (files.isEmpty()) {
        err << "No files given\n";
        err.flush();
        return UsageError;
    }

    const auto notice = [&err](const QString& text) {
        err << "pelamo: " << FileName::singleLine(text) << '\n';
        err.flush();
    };
    return report(
        out, QStringLiteral("Tagging"), [&] { return ShowStore::expand(files); },
        [&](const ShowStore::ResultHandler& onResult) { store.tag(files, *show, onResult, notice); });
}

int undo(ShowStore& store, QTextStream& out, QTextStream& err)
{
    const QStringList records = ShowStore::undoRecords(store.undoFolder());
    if (records.isEmpty()) {
        err << "Nothing to undo\n";
        err.flush();
        return UsageError;
    }
    return report(
        out, QStringLiteral("Undoing"), [&] { return ShowStore::undoTargets(records); },
        [&](const ShowStore::ResultHandler& onResult) { store.undo(onResult); });
}

} // namespace CLI
