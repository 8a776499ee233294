#include "RunTool.h"
#include "common/LibraryTestKit.h"

#include <QDir>
#include <QTest>

class TestTagRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_env.emplace(); }

    void init()
    {
        m_case = m_env->newCase();
        m_library = m_case->filePath(QStringLiteral("library"));
        writeShows(m_library,
            {named(QStringLiteral("Weekly"), QStringLiteral("The Weekly Show")),
                named(QStringLiteral("B"), QStringLiteral("Episode"))});
    }

    QString mp3(const QString& name) { return copyFixture(toneFixture(), m_case->filePath(name)); }

    ProgramRun run(QStringList arguments)
    {
        return runTool(arguments << QStringLiteral("--library") << m_library,
            m_case->filePath(QStringLiteral("no-seed")));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("emptyLibrary");
        QTest::addColumn<QString>("error");
        const QString shows = QStringLiteral("Unknown or missing --show. Shows: Weekly, B\n");
        const QString noFiles = QStringLiteral("No files given\n");
        QTest::addRow("no --show") << QStringList {"--tag", "a.mp3"} << false << shows;
        QTest::addRow("--show last") << QStringList {"a.mp3", "--tag", "--show"} << false << shows;
        QTest::addRow("no such show") << QStringList {"--tag", "--show", "Daily", "a.mp3"} << false << shows;
        QTest::addRow("no files") << QStringList {"--tag", "--show", "weekly"} << false << noFiles;
        QTest::addRow("the show's text is never a file")
            << QStringList {"--tag", "--show", "Weekly", "Weekly", "--tag"} << false << noFiles;
        QTest::addRow("empty library") << QStringList {"--tag", "--show", "X"} << true
                                       << QStringLiteral("Unknown or missing --show. Shows: \n");
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, emptyLibrary);
        QFETCH(QString, error);
        if (emptyLibrary)
            writeShows(m_library, {});
        const ProgramRun result = run(arguments);
        QCOMPARE(result.status, 2);
        QCOMPARE(result.err, error);
        QCOMPARE(result.out, QString());
    }

    void linesAndStatus()
    {
        const QString a = mp3(QStringLiteral("a.mp3"));
        const QString wav = m_case->filePath(QStringLiteral("talk.wav"));
        writeFile(wav, "RIFF");
        // Found by title, case ignored; "--verbose" is taken as a path; the show's
        // text given again among the files is not one.
        const QString showText = QStringLiteral("the weekly SHOW");
        const ProgramRun result = run({QStringLiteral("--tag"), QStringLiteral("--show"), showText, a,
            showText, wav, QStringLiteral("--verbose")});
        QCOMPARE(result.status, 1);
        const QStringList lines = result.out.split(u'\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines.at(0),
            QStringLiteral("OK   %1 \u2014 Tagged \u00b7 TYER TIT2 TDRC PCST ID3v1 \u00b7 audio untouched")
                .arg(a));
        QCOMPARE(lines.at(1), QStringLiteral("FAIL %1 \u2014 talk.wav is not an MP3 file").arg(wav));
        QVERIFY(lines.at(2).startsWith(QStringLiteral("FAIL %1/--verbose \u2014 ").arg(QDir::currentPath())));
        QCOMPARE(lines.at(3), QString());
        QCOMPARE(result.err, QString());

        // A folder without MP3 files is no failure.
        const QString folder = m_case->filePath(QStringLiteral("nothing"));
        writeFile(folder + QStringLiteral("/readme.txt"), "x");
        const ProgramRun empty
            = run({QStringLiteral("--tag"), QStringLiteral("--show"), QStringLiteral("B"), folder});
        QCOMPARE(empty.status, 0);
        QCOMPARE(empty.out, QString());
    }

    // The whole job through the real executable, as a script runs it.
    void endToEnd()
    {
        Show show = named(QStringLiteral("Weekly"), QStringLiteral("Episode"));
        show.titleFromFileName = true;
        show.artist = QStringLiteral("Jo");
        show.coverFile = QStringLiteral("cover.jpg");
        writeShows(m_library, {show});
        const QByteArray jpeg = QByteArray("\xff\xd8\xff\xe0") + QByteArray(500, 'j');
        writeFile(m_library + QStringLiteral("/Covers/cover.jpg"), jpeg);
        mp3(QStringLiteral("episodes/Ep 2.mp3"));
        mp3(QStringLiteral("episodes/Ep 10.mp3"));
        writeFile(m_case->filePath(QStringLiteral("episodes/notes.txt")), "x");

        const ProgramRun tool = runPelamo(*m_env,
            {QStringLiteral("--tag"), QStringLiteral("--show"), QStringLiteral("weekly"),
                QStringLiteral("--library"), QStringLiteral("library"), QStringLiteral("episodes")},
            m_case->path());
        QCOMPARE(tool.status, 0);
        QCOMPARE(tool.err, QString());
        const QString expected = QStringLiteral("OK   %1/episodes/%2 \u2014 Tagged \u00b7 TYER TIT2 TPE1 "
                                                "TDRC PCST APIC ID3v1 \u00b7 audio untouched\n");
        QCOMPARE(tool.out,
            expected.arg(m_case->path(), QStringLiteral("Ep 10.mp3"))
                + expected.arg(m_case->path(), QStringLiteral("Ep 2.mp3")));

        const auto tags = readWithMutagen(m_case->filePath(QStringLiteral("episodes/Ep 2.mp3")));
        QVERIFY(tags);
        const QJsonObject picture = mutagenPicture(tags);
        QCOMPARE(picture.value(QLatin1StringView("mime")).toString(), QStringLiteral("image/jpeg"));
        QCOMPARE(picture.value(QLatin1StringView("sha256")).toString(), sha256Hex(jpeg));
        QCOMPARE(mutagenText(tags, "TIT2"), QStringLiteral("Ep 2"));
        QVERIFY(tags->value(QLatin1StringView("id3v1")).toBool());
    }

private:
    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    QString m_library;
};

QTEST_GUILESS_MAIN(TestTagRun)
#include "TestTagRun.moc"
