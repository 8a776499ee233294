#include "RunTool.h"
#include "cli/CLI.h"
#include "common/Mutagen.h"
#include "common/TestEnvironment.h"
#include "shows/Show.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTest>

namespace {

Show named(const QString& name, const QString& title = QStringLiteral("Episode"))
{
    Show show;
    show.name = name;
    show.title = title;
    return show;
}

} // namespace

class TestTagRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_env.emplace(); }

    void init()
    {
        m_case = m_env->newCase();
        m_library = m_case->filePath(QStringLiteral("library"));
        setShows(
            {named(QStringLiteral("Weekly"), QStringLiteral("The Weekly Show")), named(QStringLiteral("B"))});
    }

    void setShows(const QList<Show>& shows)
    {
        QJsonArray array;
        for (const Show& show : shows)
            array.append(show.toJson());
        writeFile(m_library + QStringLiteral("/shows.json"), QJsonDocument(array).toJson());
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
        QTest::addColumn<QString>("error");
        const QString shows = QStringLiteral("Unknown or missing --show. Shows: Weekly, B\n");
        QTest::addRow("no --show") << QStringList {"--tag", "a.mp3"} << shows;
        QTest::addRow("--show last") << QStringList {"a.mp3", "--tag", "--show"} << shows;
        QTest::addRow("no such show") << QStringList {"--tag", "--show", "Daily", "a.mp3"} << shows;
        QTest::addRow("no files") << QStringList {"--tag", "--show", "weekly"}
                                  << QStringLiteral("No files given\n");
        QTest::addRow("the show's text is never a file") << QStringList {"--tag", "--show", "Weekly",
            "Weekly", "--tag"} << QStringLiteral("No files given\n");
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        const ProgramRun result = run(arguments);
        QCOMPARE(result.status, 2);
        QCOMPARE(result.err, error);
        QCOMPARE(result.out, QString());
    }

    void emptyLibraryListsNoShows()
    {
        setShows({});
        const ProgramRun result
            = run({QStringLiteral("--tag"), QStringLiteral("--show"), QStringLiteral("X")});
        QCOMPARE(result.status, 2);
        QCOMPARE(result.err, QStringLiteral("Unknown or missing --show. Shows: \n"));
    }

    void linesAndStatus()
    {
        const QString a = mp3(QStringLiteral("a.mp3"));
        const QString wav = m_case->filePath(QStringLiteral("talk.wav"));
        writeFile(wav, "RIFF");
        // Found by title, case ignored; "--verbose" is taken as a path; "Weekly" appears
        // again as a file argument but, being the show's text, is not one.
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
    }

    void folderWithoutMp3IsFine()
    {
        const QString folder = m_case->filePath(QStringLiteral("nothing"));
        writeFile(folder + QStringLiteral("/readme.txt"), "x");
        const ProgramRun result
            = run({QStringLiteral("--tag"), QStringLiteral("--show"), QStringLiteral("B"), folder});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, QString());
    }

    // The whole job through the real executable, as a script runs it.
    void endToEnd()
    {
        Show show = named(QStringLiteral("Weekly"));
        show.titleFromFileName = true;
        show.artist = QStringLiteral("Jo");
        show.coverFile = QStringLiteral("cover.jpg");
        setShows({show});
        const QByteArray jpeg = QByteArray("\xff\xd8\xff\xe0") + QByteArray(500, 'j');
        writeFile(m_library + QStringLiteral("/Covers/cover.jpg"), jpeg);
        mp3(QStringLiteral("episodes/Ep 2.mp3"));
        mp3(QStringLiteral("episodes/Ep 10.mp3"));
        writeFile(m_case->filePath(QStringLiteral("episodes/notes.txt")), "x");

        const ProgramRun tool = runProgram(QStringLiteral(PELAMO_EXECUTABLE),
            {QStringLiteral("--tag"), QStringLiteral("--show"), QStringLiteral("weekly"),
                QStringLiteral("--library"), QStringLiteral("library"), QStringLiteral("episodes")},
            m_env->processEnvironment(), m_case->path());
        QCOMPARE(tool.status, 0);
        QCOMPARE(tool.err, QString());
        const QString expected
            = QStringLiteral("OK   %1/episodes/%2 \u2014 Tagged \u00b7 TYER TIT2 TPE1 TDRC PCST APIC "
                             "ID3v1 \u00b7 audio untouched\n");
        QCOMPARE(tool.out,
            expected.arg(m_case->path(), QStringLiteral("Ep 10.mp3"))
                + expected.arg(m_case->path(), QStringLiteral("Ep 2.mp3")));

        const auto tags = readWithMutagen(m_case->filePath(QStringLiteral("episodes/Ep 2.mp3")));
        QVERIFY(tags);
        const QJsonObject picture = tags->value(QLatin1StringView("pictures")).toArray().first().toObject();
        QCOMPARE(picture.value(QLatin1StringView("mime")).toString(), QStringLiteral("image/jpeg"));
        QCOMPARE(picture.value(QLatin1StringView("sha256")).toString(),
            QString::fromLatin1(QCryptographicHash::hash(jpeg, QCryptographicHash::Sha256).toHex()));
        QCOMPARE(
            tags->value(QLatin1StringView("text")).toObject().value(QLatin1StringView("TIT2")).toString(),
            QStringLiteral("Ep 2"));
        QVERIFY(tags->value(QLatin1StringView("id3v1")).toBool());
    }

private:
    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    QString m_library;
};

QTEST_GUILESS_MAIN(TestTagRun)
#include "TestTagRun.moc"
