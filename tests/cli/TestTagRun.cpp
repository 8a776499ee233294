#include "CliCase.h"
#include "RunTool.h"

#include <QDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestTagRun : public QObject, public CliCase
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_env.emplace(); }

    void init()
    {
        newCase();
        writeShows(m_library, {named(u"Weekly"_s, u"The Weekly Show"_s), named(u"B"_s, u"Episode"_s)});
    }

    // Runs that tag nothing print no result line: usage mistakes exit 2 with one line on
    // standard error; a folder without MP3 files is no failure.
    void nothingTagged_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("emptyLibrary");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        const QString shows = u"Unknown or missing --show. Shows: Weekly, B\n"_s;
        const QString noFiles = u"No files given\n"_s;
        QTest::addRow("no --show") << QStringList {"--tag", "a.mp3"} << false << 2 << shows;
        QTest::addRow("no files") << QStringList {"--tag", "--show", "weekly"} << false << 2 << noFiles;
        QTest::addRow("options are never files")
            << QStringList {"--tag", "--show", "Weekly", "--tag", "--json"} << false << 2 << noFiles;
        QTest::addRow("empty library")
            << QStringList {"--tag", "--show", "X"} << true << 2 << u"Unknown or missing --show. Shows: \n"_s;
        QTest::addRow("no MP3 in the folder")
            << QStringList {"--tag", "--show", "B", "nothing"} << false << 0 << QString();
    }
    void nothingTagged()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, emptyLibrary);
        QFETCH(int, status);
        QFETCH(QString, error);
        if (emptyLibrary)
            writeShows(m_library, {});
        writeFile(m_case->filePath(u"nothing/readme.txt"_s), "x");
        QVERIFY(QDir::setCurrent(m_case->path()));
        const ProgramRun result
            = runTool(arguments << u"--library"_s << m_library, m_case->filePath(u"no-seed"_s));
        QCOMPARE(result.status, status);
        QCOMPARE(result.err, error);
        QCOMPARE(result.out, QString());
    }

    // The whole job through the real executable, as a script runs it.
    void endToEnd()
    {
        Show show = named(u"Weekly"_s, u"The Weekly Show"_s);
        show.titleFromFileName = true;
        show.artist = u"Jo"_s;
        show.coverFile = u"cover.jpg"_s;
        writeShows(m_library, {show});
        const QByteArray jpeg = QByteArray("\xff\xd8\xff\xe0") + QByteArray(500, 'j');
        writeFile(m_library + u"/Covers/cover.jpg"_s, jpeg);
        tone(u"episodes/Ep 2.mp3"_s);
        tone(u"episodes/Ep 10.mp3"_s);
        writeFile(m_case->filePath(u"episodes/notes.txt"_s), "x");
        writeFile(m_case->filePath(u"talk.wav"_s), "RIFF");
        // Found by title, case ignored; "--verbose" is a path, and so is an argument that
        // happens to be the show's name, once the option has taken its value.
        const ProgramRun tool = runPelamo(*m_env,
            {u"--tag"_s, u"--show"_s, u"the weekly SHOW"_s, u"--library"_s, u"library"_s, u"episodes"_s,
                u"talk.wav"_s, u"--verbose"_s, u"the weekly SHOW"_s},
            m_case->path());
        QCOMPARE(tool.status, 1);
        QCOMPARE(tool.err, QString());
        const QString ok
            = u"OK   %1/episodes/%2 \u2014 Tagged \u00b7 TYER TIT2 TPE1 TDRC PCST APIC ID3v1 \u00b7 audio untouched"_s;
        const QStringList lines = tool.out.split(u'\n');
        QCOMPARE(lines.mid(0, 3),
            (QStringList {ok.arg(m_case->path(), u"Ep 10.mp3"_s), ok.arg(m_case->path(), u"Ep 2.mp3"_s),
                u"FAIL %1/talk.wav \u2014 talk.wav is not an MP3 file"_s.arg(m_case->path())}));
        QVERIFY(lines.at(3).startsWith(u"FAIL %1/--verbose \u2014 "_s.arg(m_case->path())));
        QVERIFY(lines.at(4).startsWith(u"FAIL %1/the weekly SHOW \u2014 "_s.arg(m_case->path())));
        QCOMPARE(lines.size(), 6);
        const auto tags = readWithMutagen(m_case->filePath(u"episodes/Ep 2.mp3"_s));
        QCOMPARE(mutagenPicture(tags).value("sha256"_L1).toString(), sha256Hex(jpeg));
        QCOMPARE(mutagenText(tags, "TIT2"), u"Ep 2"_s);
    }
};

QTEST_GUILESS_MAIN(TestTagRun)
#include "TestTagRun.moc"
