#include "CliCase.h"
#include "RunTool.h"

#include <QDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

Show weekly()
{
    Show show = named(u"Weekly"_s, u"ignored"_s);
    show.titleFromFileName = true;
    show.artist = u"Jo"_s;
    show.coverFile = u"W.png"_s;
    return show;
}

} // namespace

class TestCli : public QObject, public CliCase
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_env.emplace(); }

    void init()
    {
        newCase();
        QDir(m_env->defaultLibrary()).removeRecursively();
        writeShows(m_library, {weekly()});
    }

    void modeChoice_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("commandLine");
        QTest::addRow("unknown arguments") << QStringList {"--frobnicate", "x.mp3"} << false;
        QTest::addRow("library alone") << QStringList {"--library", "/tmp/x"} << false;
        QTest::addRow("list") << QStringList {"--list"} << true;
        QTest::addRow("tag anywhere") << QStringList {"a.mp3", "--tag"} << true;
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
        Show plain = named(u"Plain"_s, u"Episode"_s);
        plain.genre = u"Jazz"_s;
        Show raw = named(u"Ünïcode ✓"_s, u"a\tb\nc"_s);
        raw.artist = u"=x= \"q\""_s;
        writeShows(m_library, {weekly(), plain, raw});
        const ProgramRun run = runPelamo(*m_env,
            {"--tag", "--show", "Weekly", "--snapshot", "--list", "a.mp3", "--library", "library"},
            m_case->path());
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out,
            u"Weekly\t title=<file name>\t artist=Jo\t genre=\t cover=true\n"_s
                + u"Plain\t title=Episode\t artist=\t genre=Jazz\t cover=false\n"_s
                + u"Ünïcode ✓\t title=a\tb\nc\t artist==x= \"q\"\t genre=\t cover=false\n"_s);
        QCOMPARE(run.err, QString());
        QVERIFY(!QFileInfo::exists(m_env->defaultLibrary()));
        // An empty library lists nothing and writes nothing.
        const QString empty = m_case->filePath(u"empty"_s);
        const ProgramRun none = runTool({u"--list"_s, u"--library"_s, empty}, m_case->filePath(u"no-seed"_s));
        QCOMPARE(none.status, 0);
        QCOMPARE(none.out, QString());
        QVERIFY(!QFile::exists(empty + u"/shows.json"_s));
    }

    void snapshotFolder_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("folder");
        QTest::addRow("last argument") << QStringList {"--snapshot"} << u"/tmp/pelamo"_s;
        QTest::addRow("with a folder") << QStringList {"--snapshot", "out"} << u"out"_s;
        QTest::addRow("wins over tag") << QStringList {"--tag", "--snapshot", "x"} << u"x"_s;
    }
    void snapshotFolder()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, folder);
        QString received;
        int shows = -1;
        const ProgramRun run = runTool(QStringList {u"--library"_s, m_library} + arguments,
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
        ProgramRun run = runPelamo(*m_env, {u"--help"_s, u"--list"_s});
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.startsWith(u"Usage:"_s));
        QVERIFY(!QFileInfo::exists(m_env->defaultLibrary())); // help opens no library
        run = runPelamo(*m_env, {u"--version"_s});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, u"Pelamo %1\n"_s.arg(QStringLiteral(PELAMO_VERSION_TEXT)));
    }

    // The first run writes the seed library once; later runs only read it.
    void firstRunSeedsOnce()
    {
        const ProgramRun first = runPelamo(*m_env, {u"--list"_s});
        QCOMPARE(first.status, 0);
        QCOMPARE(first.out.count(u'\n'), 3);
        QVERIFY(first.out.startsWith(u"Weekly Dispatch\t title=<file name>\t "_s));
        QCOMPARE(QDir(m_env->defaultLibrary() + u"/Covers"_s).entryList(QDir::Files).size(), 2);
        const QDateTime written = QFileInfo(m_env->defaultLibrary() + u"/shows.json"_s).lastModified();
        QTest::qWait(20);
        QCOMPARE(runPelamo(*m_env, {u"--list"_s}).out, first.out);
        QCOMPARE(QFileInfo(m_env->defaultLibrary() + u"/shows.json"_s).lastModified(), written);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "TestCli.moc"
