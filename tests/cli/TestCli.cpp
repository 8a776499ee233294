#include "RunTool.h"
#include "common/LibraryTestKit.h"

#include <QDir>
#include <QProcess>
#include <QTest>

namespace {

Show weekly()
{
    Show show = named(QStringLiteral("Weekly"), QStringLiteral("ignored"));
    show.titleFromFileName = true;
    show.artist = QStringLiteral("Jo");
    show.coverFile = QStringLiteral("W.png");
    return show;
}

const QString weeklyLine = QStringLiteral("Weekly\t title=<file name>\t artist=Jo\t genre=\t cover=true\n");

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
        writeShows(m_library, {weekly()});
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
        QTest::addRow("undo") << QStringList {"--undo"} << true;
        QTest::addRow("whole arguments only") << QStringList {"--list=1", "--tags"} << false;
        QTest::addRow("case matters") << QStringList {"--LIST"} << false;
    }

    void modeChoice()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, commandLine);
        QCOMPARE(CLI::isCommandLine(arguments), commandLine);
    }

    // One line a show in library order, values as they are; --list wins over every other mode.
    void listLines()
    {
        Show plain = named(QStringLiteral("Plain"), QStringLiteral("Episode"));
        plain.genre = QStringLiteral("Jazz");
        Show raw = named(QStringLiteral("Ünïcode ✓"), QStringLiteral("a\tb\nc"));
        raw.artist = QStringLiteral("=x= \"q\"");
        writeShows(m_library, {weekly(), plain, raw});
        bool snapshotRan = false;
        const ProgramRun run
            = runTool({"--tag", "--show", "Weekly", "--snapshot", "--list", "a.mp3", "--library", m_library},
                ShowStore::defaultSeedFolder, [&](ShowStore&, const QString&) {
                    snapshotRan = true;
                    return 0;
                });
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out,
            weeklyLine + QStringLiteral("Plain\t title=Episode\t artist=\t genre=Jazz\t cover=false\n")
                + QStringLiteral("Ünïcode ✓\t title=a\tb\nc\t artist==x= \"q\"\t genre=\t cover=false\n"));
        QCOMPARE(run.err, QString());
        QVERIFY(!snapshotRan);

        // An empty library lists nothing and writes nothing.
        const QString empty = m_case->filePath(QStringLiteral("empty"));
        const ProgramRun none = runTool({QStringLiteral("--list"), QStringLiteral("--library"), empty},
            m_case->filePath(QStringLiteral("no-seed")));
        QCOMPARE(none.status, 0);
        QCOMPARE(none.out, QString());
        QVERIFY(!QFile::exists(empty + QStringLiteral("/shows.json")));
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
        const QString seedLines = QStringLiteral(
            "Weekly Dispatch\t title=<file name>\t artist=Your Name\t genre=Podcast\t cover=true\n"
            "Night Drive EP\t title=<file name>\t artist=The Late Exits\t genre=Electronic\t "
            "cover=true\n"
            "Interview Notes\t title=<file name>\t artist=Your Name\t genre=Podcast\t cover=false\n");
        const ProgramRun first = runPelamo(*m_env, {QStringLiteral("--list")});
        QCOMPARE(first.status, 0);
        QCOMPARE(first.out, seedLines);
        QCOMPARE(first.err, QString());
        const QString showsFile = m_env->defaultLibrary() + QStringLiteral("/shows.json");
        const QByteArray saved = readFile(showsFile);
        QVERIFY(!saved.isEmpty());
        QCOMPARE(QDir(m_env->defaultLibrary() + QStringLiteral("/Covers")).entryList(QDir::Files).size(), 2);
        const QDateTime written = QFileInfo(showsFile).lastModified();

        QTest::qWait(20);
        const ProgramRun second = runPelamo(*m_env, {QStringLiteral("--list")});
        QCOMPARE(second.out, seedLines);
        QCOMPARE(readFile(showsFile), saved);
        QCOMPARE(QFileInfo(showsFile).lastModified(), written);
    }

    void libraryRelativeToCurrentFolder()
    {
        const ProgramRun run = runPelamo(*m_env,
            {QStringLiteral("--library"), QStringLiteral("library"), QStringLiteral("--list")},
            m_case->path());
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, weeklyLine);
        QVERIFY(!QFileInfo::exists(m_env->defaultLibrary()));
    }

    void statuses_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        QTest::addRow("help") << QStringList {"--help"} << 0 << QString();
        QTest::addRow("version") << QStringList {"--version"} << 0 << QString();
        QTest::addRow("list") << QStringList {"--list"} << 0 << QString();
        QTest::addRow("tag without a show") << QStringList {"--tag", "x.mp3"} << 2
                                            << QStringLiteral("Unknown or missing --show. Shows: Weekly\n");
        QTest::addRow("nothing to undo")
            << QStringList {"--undo"} << 2 << QStringLiteral("Nothing to undo\n");
    }

    void statuses()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, error);
        const ProgramRun run = runPelamo(*m_env, arguments << QStringLiteral("--library") << m_library);
        QCOMPARE(run.status, status);
        QCOMPARE(run.err, error);
    }

    // "--library" alone starts the application on that library, running until its window closes.
    void withoutModeOptionsTheDesktopStarts()
    {
        QProcess app;
        app.setProcessEnvironment(m_env->processEnvironment());
        const QString library = m_case->filePath(QStringLiteral("desktop"));
        app.start(QStringLiteral(PELAMO_EXECUTABLE), {QStringLiteral("--library"), library});
        QVERIFY(app.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(library + QStringLiteral("/shows.json")), 20000);
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
