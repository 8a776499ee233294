// Track numbers for a music release and chapters kept for a podcast, through the real
// executable, read back by mutagen and ffprobe.
#include "common/LibraryTestKit.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// Debian's interpreter, which has python3-mutagen; another python3 may come first on PATH.
const QString python = u"/usr/bin/python3"_s;
const QString chaptersTool = QStringLiteral(PELAMO_CHAPTERS_TOOL);

// A show as a library saved before the show had "numberTracks" and "keepChapters".
QJsonObject storedShow(const QString& kind, const QString& id, const QString& name, const QString& genre)
{
    return QJsonObject {{u"id"_s, id}, {u"kind"_s, kind}, {u"name"_s, name}, {u"title"_s, QString()},
        {u"titleFromFileName"_s, true}, {u"artist"_s, u"Jo"_s}, {u"albumArtist"_s, u"Jo"_s},
        {u"album"_s, u"Album"_s}, {u"genre"_s, genre}, {u"year"_s, u"2024"_s}, {u"autoYear"_s, false},
        {u"language"_s, u"English"_s}, {u"publisher"_s, u"P"_s}, {u"copyright"_s, u"C"_s},
        {u"comment"_s, u"Comment"_s}, {u"description"_s, u"Desc"_s}, {u"category"_s, u"News/Tech News"_s},
        {u"keywords"_s, u"k"_s}, {u"feedURL"_s, u"https://example.com/feed"_s}, {u"podcastFlag"_s, true},
        {u"composer"_s, u"X"_s}, {u"coverFile"_s, u"cover.png"_s}, {u"writeID3v1"_s, true},
        {u"notes"_s, QString()}};
}

std::optional<QJsonObject> chaptersOf(const QString& file)
{
    QProcess tool;
    tool.start(python, {chaptersTool, u"read"_s, file});
    if (!tool.waitForFinished(60000) || tool.exitCode() != 0)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(tool.readAllStandardOutput());
    return document.isObject() ? std::optional(document.object()) : std::nullopt;
}

} // namespace

class TestReleases : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_env.emplace(); }

    void init()
    {
        m_case = m_env->newCase();
        m_library = m_case->filePath(u"library"_s);
        const QJsonArray shows {storedShow(u"podcast"_s, u"0B6E0E1C-3C55-4A5B-9E53-6C1F2C9A7D10"_s,
                                    u"Old Podcast"_s, u"Podcast"_s),
            storedShow(u"music"_s, u"5D2F8C0A-7E61-4B0C-8F3A-2B9D41C6E8F2"_s, u"Old Music"_s, u"Rock"_s)};
        QVERIFY(writeFile(m_library + u"/shows.json"_s, QJsonDocument(shows).toJson()));
        QVERIFY(writeFile(m_library + u"/Covers/cover.png"_s, "\x89PNG\r\n\x1a\nfixed cover bytes"));
    }

    // A show stored without the new keys writes the very bytes it wrote before they existed,
    // chapters in the old tag and a number in the name notwithstanding.
    void storedShowsWriteTheSameBytes_data()
    {
        QTest::addColumn<QString>("show");
        QTest::addColumn<QString>("sha256");
        // The digests the build before these keys wrote for the same file and show.
        QTest::addRow("podcast") << u"Old Podcast"_s
                                 << u"c659149cec65b1e4cd6ec155cb2fbb57cadf945faf8c6857b0ff9e8d3f936618"_s;
        QTest::addRow("music") << u"Old Music"_s
                               << u"5f6d4129da369223881b633fa259e533bf4c4b8fa8cfe1872f760c1f461b19f1"_s;
    }
    void storedShowsWriteTheSameBytes()
    {
        QFETCH(QString, show);
        QFETCH(QString, sha256);
        const QString file = withChapters(u"01 - Intro.mp3"_s, 4);
        const ProgramRun run = pelamo({u"--tag"_s, u"--show"_s, show, file});
        QCOMPARE(run.status, 0);
        QCOMPARE(sha256Hex(readFile(file)), sha256);
    }

    // A music show numbering its tracks: from the names, or else by their order in the folder,
    // always out of the whole folder, and titles without the numbers.
    void trackNumbers_data()
    {
        QTest::addColumn<QStringList>("folder");
        QTest::addColumn<QStringList>("tagged");
        QTest::addColumn<QStringList>("tracks");
        QTest::addColumn<QStringList>("titles");
        const QStringList numbered {u"01 - Intro.mp3"_s, u"02. Night Drive.mp3"_s, u"03_Outro.mp3"_s};
        QTest::addRow("numbered names") << numbered << numbered << QStringList {u"1/3"_s, u"2/3"_s, u"3/3"_s}
                                        << QStringList {u"Intro"_s, u"Night Drive"_s, u"Outro"_s};
        const QStringList plain {u"b side.mp3"_s, u"A side.mp3"_s, u"c.mp3"_s};
        QTest::addRow("unnumbered names, by their order")
            << plain << plain << QStringList {u"2/3"_s, u"1/3"_s, u"3/3"_s}
            << QStringList {u"b side"_s, u"A side"_s, u"c"_s};
        QStringList twelve;
        for (int i = 1; i <= 12; ++i)
            twelve.append(u"%1 Track.mp3"_s.arg(i, 2, 10, QLatin1Char('0')));
        QTest::addRow("two of a twelve-track folder")
            << twelve << QStringList {twelve.at(1), twelve.at(6)} << QStringList {u"2/12"_s, u"7/12"_s}
            << QStringList {u"Track"_s, u"Track"_s};
        QTest::addRow("a gap in the numbers counts to the largest")
            << QStringList {u"1 a.mp3"_s, u"9 b.mp3"_s} << QStringList {u"9 b.mp3"_s}
            << QStringList {u"9/9"_s} << QStringList {u"b"_s};
    }
    void trackNumbers()
    {
        QFETCH(QStringList, folder);
        QFETCH(QStringList, tagged);
        QFETCH(QStringList, tracks);
        QFETCH(QStringList, titles);
        QJsonObject music
            = storedShow(u"music"_s, u"8E3C1F20-1B6A-4E59-A7C2-3D4E5F607182"_s, u"Numbered"_s, u"Rock"_s);
        music.insert(u"numberTracks"_s, true);
        QVERIFY(writeFile(m_library + u"/shows.json"_s, QJsonDocument(QJsonArray {music}).toJson()));
        QStringList paths;
        for (const QString& name : folder)
            copyFixture(toneFixture(), m_case->filePath(u"album/"_s + name));
        for (const QString& name : tagged)
            paths.append(m_case->filePath(u"album/"_s + name));
        const ProgramRun run = pelamo(QStringList {u"--tag"_s, u"--show"_s, u"Numbered"_s} + paths);
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.count(u" TALB TRCK TCOM "_s) == paths.size(), qPrintable(run.out));
        for (qsizetype i = 0; i < paths.size(); ++i) {
            const auto read = chaptersOf(paths.at(i));
            QVERIFY(read);
            QCOMPARE(read->value(u"track"_s).toString(), tracks.at(i));
            QCOMPARE(read->value(u"title"_s).toString(), titles.at(i));
            // ID3v1.1: the byte after the comment's terminator is the track.
            const QByteArray v1 = readFile(paths.at(i)).right(ID3v1Size);
            QVERIFY(v1.startsWith("TAG"));
            QCOMPARE(int(v1.at(ID3v1Size - 3)), 0);
            QCOMPARE(int(quint8(v1.at(ID3v1Size - 2))), tracks.at(i).section(u'/', 0, 0).toInt());
        }
    }

    // A podcast show keeping chapters, from an ID3v2.3 and an ID3v2.4 tag as a chapter tool
    // wrote them: the same chapters come out in ID3v2.3, their byte offset moved with the
    // audio, the audio untouched, and undo gives the file back byte for byte.
    void chaptersKept_data()
    {
        QTest::addColumn<int>("version");
        QTest::addRow("from ID3v2.3") << 3;
        QTest::addRow("from ID3v2.4") << 4;
    }
    void chaptersKept()
    {
        QFETCH(int, version);
        QJsonObject podcast
            = storedShow(u"podcast"_s, u"2A4B6C8D-0E1F-4A3B-8C5D-6E7F80911223"_s, u"Keeps"_s, u"Podcast"_s);
        podcast.insert(u"keepChapters"_s, true);
        QVERIFY(writeFile(m_library + u"/shows.json"_s, QJsonDocument(QJsonArray {podcast}).toJson()));
        const QString file = withChapters(u"Episode 7.mp3"_s, version);
        const QByteArray original = readFile(file);
        const auto before = chaptersOf(file);
        QVERIFY(before);
        const ProgramRun run = pelamo({u"--tag"_s, u"--show"_s, u"Keeps"_s, file});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.contains(u" APIC CHAP\u00d73 CTOC ID3v1 \u00b7 audio untouched\n"_s),
            qPrintable(run.out));
        const auto after = chaptersOf(file);
        QVERIFY(after);
        QCOMPARE(after->value(u"version"_s).toString(), u"2.3"_s);
        QCOMPARE(after->value(u"tocs"_s), before->value(u"tocs"_s));
        const qint64 oldStart = before->value(u"audioStart"_s).toInteger();
        const qint64 newStart = after->value(u"audioStart"_s).toInteger();
        QJsonArray expected = before->value(u"chapters"_s).toArray();
        for (auto chapter : expected) {
            QJsonObject moved = chapter.toObject();
            if (moved.value(u"id"_s) == u"ch1"_s)
                moved.insert(
                    u"startOffset"_s, moved.value(u"startOffset"_s).toInteger() - oldStart + newStart);
            chapter = moved;
        }
        QCOMPARE(after->value(u"chapters"_s).toArray(), expected);
        QCOMPARE(expected.size(), 3);
        // The audio, byte for byte, between the new tag and the ID3v1 tag.
        const QByteArray now = readFile(file);
        QCOMPARE(now.sliced(newStart, now.size() - newStart - ID3v1Size), original.sliced(oldStart));
        // ffprobe, another reader, lists the three chapters with their titles.
        QProcess probe;
        probe.start(u"ffprobe"_s, {u"-v"_s, u"error"_s, u"-show_chapters"_s, u"-of"_s, u"json"_s, file});
        QVERIFY(probe.waitForFinished(60000));
        QStringList titles;
        for (const QJsonValue chapter :
            QJsonDocument::fromJson(probe.readAllStandardOutput()).object().value(u"chapters"_s).toArray())
            titles.append(chapter.toObject().value(u"tags"_s).toObject().value(u"title"_s).toString());
        titles.sort();
        QCOMPARE(titles,
            (QStringList {u"Cold open \u2014 \u00e9t\u00e9"_s, u"Interview \u6771\u4eac"_s, u"Outro"_s}));

        const ProgramRun undone = pelamo({u"--undo"_s});
        QCOMPARE(undone.status, 0);
        QCOMPARE(readFile(file), original);
    }

private:
    static constexpr qsizetype ID3v1Size = 128;

    ProgramRun pelamo(QStringList arguments)
    {
        return runPelamo(*m_env, arguments << u"--library"_s << m_library, m_case->path());
    }

    // The tone with an ID3v2.`version` tag holding three chapters, as a chapter tool writes them.
    QString withChapters(const QString& name, int version)
    {
        const QString file = copyFixture(toneFixture(), m_case->filePath(name));
        QProcess tool;
        tool.start(python, {chaptersTool, u"write"_s, QString::number(version), file});
        if (!tool.waitForFinished(60000) || tool.exitCode() != 0)
            qFatal("chapters.py failed: %s", tool.readAllStandardError().constData());
        return file;
    }

    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    QString m_library;
};

QTEST_GUILESS_MAIN(TestReleases)
#include "TestReleases.moc"
