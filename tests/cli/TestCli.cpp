#include "RunTool.h"
#include "cli/CLI.h"
#include "common/TestEnvironment.h"
#include "shows/Show.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTest>

namespace {

void writeShows(const QString& folder, const QList<Show>& shows)
{
    QJsonArray array;
    for (const Show& show : shows)
        array.append(show.toJson());
    writeFile(folder + QStringLiteral("/shows.json"), QJsonDocument(array).toJson());
}

Show weekly()
{
    Show show;
    show.name = QStringLiteral("Weekly");
    show.titleFromFileName = true;
    show.title = QStringLiteral("ignored");
    show.artist = QStringLiteral("Jo");
    show.coverFile = QStringLiteral("W.png");
    return show;
}

const QString weeklyLine = QStringLiteral("Weekly\t title=<file name>\t artist=Jo\t genre=\t cover=true");

// The lines the compiled-in first-run library lists.
const QStringList seedLines {
    QStringLiteral("Weekly Dispatch\t title=<file name>\t artist=Your Name\t genre=Podcast\t cover=true"),
    QStringLiteral(
        "Night Drive EP\t title=<file name>\t artist=The Late Exits\t genre=Electronic\t cover=true"),
    QStringLiteral("Interview Notes\t title=<file name>\t artist=Your Name\t genre=Podcast\t cover=false"),
};

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_env.emplace(); }

    void init()
    {
        m_case = m_env->newCase();
        QDir(m_env->defaultLibrary()).removeRecursively();
        m_library = m_case->filePath(QStringLiteral("library"));
    }

    ProgramRun pelamo(const QStringList& arguments, const QString& workingDirectory = {})
    {
        return runProgram(
            QStringLiteral(PELAMO_EXECUTABLE), arguments, m_env->processEnvironment(), workingDirectory);
    }

    void modeChoice_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("commandLine");
        QTest::addRow("no arguments") << QStringList() << false;
        QTest::addRow("unknown arguments") << QStringList {"--frobnicate", "x.mp3"} << false;
        QTest::addRow("library alone") << QStringList {"--library", "/tmp/x"} << false;
        QTest::addRow("show alone") << QStringList {"--show", "Weekly"} << false;
        QTest::addRow("list") << QStringList {"--list"} << true;
        QTest::addRow("tag anywhere") << QStringList {"a.mp3", "--tag"} << true;
        QTest::addRow("snapshot") << QStringList {"--snapshot"} << true;
        QTest::addRow("help") << QStringList {"--help"} << true;
        QTest::addRow("version") << QStringList {"--version"} << true;
        QTest::addRow("whole arguments only") << QStringList {"--list=1", "--tags"} << false;
        QTest::addRow("case matters") << QStringList {"--LIST"} << false;
    }

    void modeChoice()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, commandLine);
        QCOMPARE(CLI::isCommandLine(arguments), commandLine);
    }

    void listLines_data()
    {
        QTest::addColumn<Show>("show");
        QTest::addColumn<QString>("line");
        QTest::addRow("title from file name, cover") << weekly() << weeklyLine;

        Show plain;
        plain.name = QStringLiteral("Plain");
        plain.title = QStringLiteral("Episode");
        plain.genre = QStringLiteral("Jazz");
        QTest::addRow("fixed title, no cover")
            << plain << QStringLiteral("Plain\t title=Episode\t artist=\t genre=Jazz\t cover=false");

        Show raw = plain;
        raw.title = QStringLiteral("a\tb\nc");
        raw.artist = QStringLiteral("=x= \"q\"");
        QTest::addRow("values unescaped")
            << raw << QStringLiteral("Plain\t title=a\tb\nc\t artist==x= \"q\"\t genre=Jazz\t cover=false");
    }

    void listLines()
    {
        QFETCH(Show, show);
        QFETCH(QString, line);
        QCOMPARE(CLI::listLine(show), line);
    }

    void listInLibraryOrder()
    {
        Show second;
        second.name = QStringLiteral("Ünïcode ✓");
        writeShows(m_library, {weekly(), second});
        const ProgramRun run = runTool({QStringLiteral("--list"), QStringLiteral("--library"), m_library});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out,
            weeklyLine + u'\n' + QStringLiteral("Ünïcode ✓\t title=\t artist=\t genre=\t cover=false\n"));
        QCOMPARE(run.err, QString());
    }

    void listWinsOverEverything()
    {
        writeShows(m_library, {weekly()});
        bool snapshotRan = false;
        const ProgramRun run
            = runTool({"--tag", "--show", "Weekly", "--snapshot", "--list", "a.mp3", "--library", m_library},
                ShowStore::defaultSeedFolder, [&](ShowStore&, const QString&) {
                    snapshotRan = true;
                    return 0;
                });
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, weeklyLine + u'\n');
        QVERIFY(!snapshotRan);
    }

    void emptyLibraryListsNothing()
    {
        const ProgramRun run = runTool({QStringLiteral("--list"), QStringLiteral("--library"), m_library},
            m_case->filePath(QStringLiteral("no-seed")));
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QString());
        QVERIFY(!QFile::exists(m_library + QStringLiteral("/shows.json")));
    }

    void snapshotFolder_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("folder");
        QTest::addRow("last argument") << QStringList {"--snapshot"} << QStringLiteral("/tmp/pelamo");
        QTest::addRow("with a folder") << QStringList {"--snapshot", "out"} << QStringLiteral("out");
        QTest::addRow("wins over tag") << QStringList {"--tag", "--snapshot", "x"} << QStringLiteral("x");
    }

    void snapshotFolder()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, folder);
        writeShows(m_library, {weekly()});
        QString received;
        int shows = -1;
        const ProgramRun run = runTool(QStringList {QStringLiteral("--library"), m_library} + arguments,
            ShowStore::defaultSeedFolder, [&](ShowStore& store, const QString& out) {
                received = out;
                shows = int(store.shows().size());
                return 0;
            });
        QCOMPARE(run.status, 0);
        QCOMPARE(received, folder);
        QCOMPARE(shows, 1);
    }

    void helpAndVersion()
    {
        ProgramRun run = runTool({QStringLiteral("--help"), QStringLiteral("--list")});
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.startsWith(QStringLiteral("Usage:")));
        for (const char* mention :
            {"--list", "--tag", "--show", "--library", "--snapshot", "Exit status", "shows.json"})
            QVERIFY2(run.out.contains(QLatin1StringView(mention)), mention);
        QVERIFY(run.out.contains(m_env->defaultLibrary()));
        QVERIFY(!QFileInfo::exists(m_env->defaultLibrary())); // help opens no library

        run = runTool({QStringLiteral("--version")});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QStringLiteral("Pelamo %1\n").arg(QStringLiteral(PELAMO_VERSION_TEXT)));
    }

    // The real executable, as scripts use it.

    void firstRunSeedsOnce()
    {
        const ProgramRun first = pelamo({QStringLiteral("--list")});
        QCOMPARE(first.status, 0);
        QCOMPARE(first.out, seedLines.join(u'\n') + u'\n');
        QCOMPARE(first.err, QString());

        const QString showsFile = m_env->defaultLibrary() + QStringLiteral("/shows.json");
        const QByteArray saved = readFile(showsFile);
        QVERIFY(!saved.isEmpty());
        QCOMPARE(QDir(m_env->defaultLibrary() + QStringLiteral("/Covers")).entryList(QDir::Files).size(), 2);
        const QDateTime written = QFileInfo(showsFile).lastModified();

        QTest::qWait(20);
        const ProgramRun second = pelamo({QStringLiteral("--list")});
        QCOMPARE(second.status, 0);
        QCOMPARE(second.out, seedLines.join(u'\n') + u'\n');
        QCOMPARE(readFile(showsFile), saved);
        QCOMPARE(QFileInfo(showsFile).lastModified(), written);
    }

    void libraryRelativeToCurrentFolder()
    {
        writeShows(m_library, {weekly()});
        const ProgramRun run
            = pelamo({QStringLiteral("--library"), QStringLiteral("library"), QStringLiteral("--list")},
                m_case->path());
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, weeklyLine + u'\n');
        QVERIFY(!QFileInfo::exists(m_env->defaultLibrary()));
    }

    void statuses_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("printsError");
        QTest::addRow("help") << QStringList {"--help"} << 0 << false;
        QTest::addRow("version") << QStringList {"--version"} << 0 << false;
        QTest::addRow("list") << QStringList {"--list"} << 0 << false;
        QTest::addRow("tag without a show") << QStringList {"--tag", "x.mp3"} << 2 << true;
    }

    void statuses()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(bool, printsError);
        const ProgramRun run = pelamo(arguments << QStringLiteral("--library") << m_library);
        QCOMPARE(run.status, status);
        QCOMPARE(!run.err.isEmpty(), printsError);
        if (printsError)
            QCOMPARE(run.err.count(u'\n'), 1);
    }

    void withoutModeOptionsTheDesktopStarts()
    {
        // "--library" alone is not a command-line mode: the application starts on that library
        // and keeps running until its window closes.
        QProcess app;
        app.setProcessEnvironment(m_env->processEnvironment());
        app.start(QStringLiteral(PELAMO_EXECUTABLE), {QStringLiteral("--library"), m_library});
        QVERIFY(app.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(m_library + QStringLiteral("/shows.json")), 20000);
        QVERIFY(!app.waitForFinished(1000));
        QCOMPARE(app.readAllStandardOutput(), QByteArray());
        app.kill();
        app.waitForFinished(10000);
        QVERIFY(!QFileInfo::exists(m_env->defaultLibrary()));
    }

private:
    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    QString m_library;
};

QTEST_GUILESS_MAIN(TestCli)
#include "TestCli.moc"
