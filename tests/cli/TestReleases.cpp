// Releases as rippers, taggers and chapter tools leave them, through the real executable,
// read back by mutagen and ffprobe: track and disc numbers, artists and titles from names,
// the frames of each recording and the chapters of each episode kept; and a podcast file
// read alike by every independent reader.
#include "CliCase.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <algorithm>

Q_DECLARE_METATYPE(QJsonObject)

using namespace Qt::Literals::StringLiterals;

namespace {

// A show as a library saved before the show had "numberTracks", "keepChapters" and what
// came after them.
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

constexpr qsizetype ID3v1Size = 128;

// What mutagen reads of a file (see oldtags.py); an empty object when it can't.
QJsonObject tagsOf(const QString& file)
{
    return QJsonDocument::fromJson(oldTags({u"read"_s, file}).out.toUtf8()).object();
}

// What ffprobe, another reader, finds in a file: its tags, and under "chapters" each chapter's
// times and title, sorted, as ffprobe numbers chapters in the order of their frames.
QJsonObject probed(const QString& file)
{
    QProcess probe;
    probe.start(u"ffprobe"_s,
        {u"-v"_s, u"error"_s, u"-show_format"_s, u"-show_chapters"_s, u"-of"_s, u"json"_s, file});
    probe.waitForFinished(60000);
    const QJsonObject found = QJsonDocument::fromJson(probe.readAllStandardOutput()).object();
    QJsonObject tags = found.value(u"format"_s).toObject().value(u"tags"_s).toObject();
    QStringList chapters;
    for (const QJsonValue chapter : found.value(u"chapters"_s).toArray())
        chapters.append(
            u"%1 %2 "_s.arg(chapter[u"start_time"_s].toString(), chapter[u"end_time"_s].toString())
            + chapter[u"tags"_s][u"title"_s].toString());
    chapters.sort();
    tags.insert(u"chapters"_s, QJsonArray::fromStringList(chapters));
    return tags;
}

} // namespace

class TestReleases : public QObject, public CliCase
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_env.emplace(); }

    void init()
    {
        newCase();
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
        // The digests the build before these keys wrote for the same file and show; the
        // podcast's with its feed address as a text frame, which it became as a fault mended.
        QTest::addRow("podcast") << u"Old Podcast"_s
                                 << u"b2773cc4c7230ec5ac3d6ea76c5c5d3544c4c0401118fc157ace1a64b8e9f757"_s;
        QTest::addRow("music") << u"Old Music"_s
                               << u"5f6d4129da369223881b633fa259e533bf4c4b8fa8cfe1872f760c1f461b19f1"_s;
    }
    void storedShowsWriteTheSameBytes()
    {
        QFETCH(QString, show);
        QFETCH(QString, sha256);
        const QString file = tone(u"01 - Intro.mp3"_s);
        QCOMPARE(oldTags({u"chapters"_s, u"4"_s, file}).status, 0);
        const ProgramRun run = pelamo({u"--tag"_s, u"--show"_s, show, file});
        QCOMPARE(run.status, 0);
        QCOMPARE(sha256Hex(readFile(file)), sha256);
    }

    // A music release, numbered and named as its files and folders say: one row a release,
    // each file "track|disc|title|artist" as mutagen reads it after one drop.
    void releases_data()
    {
        QTest::addColumn<QStringList>("files"); // "old TRCK=5/12" after one gives it that tag
        QTest::addColumn<QString>("dropped");
        QTest::addColumn<QStringList>("keys"); // of the show, turned on
        QTest::addColumn<QStringList>("expected");
        const QStringList numbered {u"numberTracks"_s};
        QTest::addRow("disc and track in the names")
            << QStringList {u"a/1-01 Intro"_s, u"a/1-02 Song"_s, u"a/2-01 Other"_s, u"a/2.02 Finale"_s}
            << u"a"_s << numbered
            << QStringList {u"1/2|1/2|Intro|Jo"_s, u"2/2|1/2|Song|Jo"_s, u"1/2|2/2|Other|Jo"_s,
                   u"2/2|2/2|Finale|Jo"_s};
        QTest::addRow("disc folders, their parent dropped")
            << QStringList {u"a/Disc 1/01 a"_s, u"a/Disc 1/02 b"_s, u"a/CD2/Track 01 c"_s} << u"a"_s
            << numbered << QStringList {u"1/2|1/2|a|Jo"_s, u"2/2|1/2|b|Jo"_s, u"1/1|2/2|c|Jo"_s};
        QTest::addRow("one disc folder, the other beside it")
            << QStringList {u"a/Disc 1/01 a"_s, u"a/Disc 2/01 b"_s, u"a/Disc 2/04 d"_s} << u"a/Disc 2"_s
            << numbered << QStringList {u"1/4|2/2|b|Jo"_s, u"4/4|2/2|d|Jo"_s};
        QTest::addRow("names not all numbered take their places")
            << QStringList {u"a/7. Seventh Heaven"_s, u"a/99 Luftballons"_s, u"a/Untitled"_s} << u"a"_s
            << numbered
            << QStringList {
                   u"1/3||7. Seventh Heaven|Jo"_s, u"2/3||99 Luftballons|Jo"_s, u"3/3||Untitled|Jo"_s};
        QTest::addRow("one track of a release, its old total larger") << QStringList {u"a/05 - X"_s,
            u"old TRCK=5/12"_s} << u"a/05 - X.mp3"_s << numbered << QStringList {u"5/12||X|Jo"_s};
        QTest::addRow("artists from names, a number in front or not")
            << QStringList {u"a/01 - Some Artist - Tide"_s, u"a/Other \u2013 Wave \u2014 Two"_s, u"a/Plain"_s}
            << u"a"_s << QStringList {u"artistFromFileName"_s}
            << QStringList {u"||Tide|Some Artist"_s, u"||Wave \u2014 Two|Other"_s, u"||Plain|Jo"_s};
        QTest::addRow("titles kept where the files have them")
            << QStringList {u"a/01 v3"_s, u"old TIT2=Own title"_s, u"a/02 v4"_s,
                   u"old TIT2=Eigener Titel \u00e9"_s, u"a/03 none"_s}
            << u"a"_s << QStringList {u"keepTitle"_s, u"numberTracks"_s}
            << QStringList {u"1/3||Own title|Jo"_s, u"2/3||Eigener Titel \u00e9|Jo"_s, u"3/3||none|Jo"_s};
    }
    void releases()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, dropped);
        QFETCH(QStringList, keys);
        QFETCH(QStringList, expected);
        QJsonObject music
            = storedShow(u"music"_s, u"8E3C1F20-1B6A-4E59-A7C2-3D4E5F607182"_s, u"Release"_s, u"Rock"_s);
        for (const QString& key : keys)
            music.insert(key, true);
        QVERIFY(writeFile(m_library + u"/shows.json"_s, QJsonDocument(QJsonArray {music}).toJson()));
        QStringList paths;
        for (const QString& entry : files) {
            if (entry.startsWith(u"old "_s)) {
                // ID3v2.3 for the first file that gets one, ID3v2.4 for the next.
                const QString version = paths.size() % 2 ? u"3"_s : u"4"_s;
                QCOMPARE(oldTags({u"text"_s, version, paths.constLast(), entry.sliced(4)}).status, 0);
                continue;
            }
            paths.append(tone(entry + u".mp3"_s));
        }
        const ProgramRun run = pelamo({u"--tag"_s, u"--show"_s, u"Release"_s, m_case->filePath(dropped)});
        QCOMPARE(run.status, 0);
        QStringList found;
        for (const QString& path : std::as_const(paths)) {
            if (!run.out.contains(path))
                continue; // not dropped
            const QJsonObject read = tagsOf(path);
            found.append(QStringList {read.value(u"track"_s).toString(), read.value(u"disc"_s).toString(),
                read.value(u"title"_s).toString(), read.value(u"artist"_s).toString()}
                             .join(u'|'));
            // ID3v1.1: the byte after the comment's terminator is the track.
            const QByteArray v1 = readFile(path).right(ID3v1Size);
            QCOMPARE(int(quint8(v1.at(ID3v1Size - 2))), found.constLast().section(u'/', 0, 0).toInt());
        }
        QCOMPARE(found, expected);
    }

    // What a drop keeps, from an ID3v2.3 and an ID3v2.4 tag: the frames of each recording, as
    // rippers, taggers and loudness scanners leave them, for a show that keeps them; the
    // chapters of an episode, as a chapter tool wrote them, for a podcast that keeps chapters,
    // their byte offset moved with the audio. They come out with the same values in an ID3v2.3
    // tag, as mutagen and ffprobe read them, the audio untouched, and undo gives the file back
    // byte for byte.
    void keptFrames_data()
    {
        QTest::addColumn<QString>("group"); // an oldtags.py kind
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("kept");
        for (const int version : {3, 4}) {
            QTest::addRow("lyrics, ID3v2.%d", version) << u"lyrics"_s << version << u"USLT SYLT"_s;
            QTest::addRow("codes, ID3v2.%d", version) << u"codes"_s << version << u"TSRC UFID TXXX\u00d72"_s;
            QTest::addRow("loudness, ID3v2.%d", version) << u"loudness"_s << version << u"TXXX\u00d74 RVA2"_s;
            QTest::addRow("tempo, key, rating, disc, ID3v2.%d", version)
                << u"more"_s << version << u"TBPM TKEY POPM PCNT TPOS"_s;
            QTest::addRow("chapters, ID3v2.%d", version) << u"chapters"_s << version << u"CHAP\u00d73 CTOC"_s;
        }
    }
    void keptFrames()
    {
        QFETCH(QString, group);
        QFETCH(int, version);
        QFETCH(QString, kept);
        const bool chapters = group == u"chapters"_s;
        QJsonObject show = chapters
            ? storedShow(u"podcast"_s, u"2A4B6C8D-0E1F-4A3B-8C5D-6E7F80911223"_s, u"Keeps"_s, u"Podcast"_s)
            : storedShow(u"music"_s, u"3C5D7E9F-1A2B-4C3D-8E4F-5A6B7C8D9E0F"_s, u"Keeps"_s, u"Rock"_s);
        show.insert(chapters ? u"keepChapters"_s : u"keepTrackInfo"_s, true);
        QVERIFY(writeFile(m_library + u"/shows.json"_s, QJsonDocument(QJsonArray {show}).toJson()));
        const QString file = tone(u"Episode 7.mp3"_s);
        QCOMPARE(oldTags({group, QString::number(version), file}).status, 0);
        const QByteArray original = readFile(file);
        const QJsonObject before = tagsOf(file);
        const QJsonObject probedBefore = probed(file);
        QVERIFY(!before.value(u"recording"_s).toArray().isEmpty());
        const ProgramRun run = pelamo({u"--tag"_s, u"--show"_s, u"Keeps"_s, file});
        QCOMPARE(run.status, 0);
        // Named as the others are, in the old tag's order, which for a recording's frames is mutagen's.
        QVERIFY2(run.out.endsWith(u" ID3v1 \u00b7 audio untouched\n"_s), qPrintable(run.out));
        const QStringList named = run.out.section(u" APIC "_s, 1).section(u" ID3v1 "_s, 0, 0).split(u' ');
        const QStringList expected = kept.split(u' ');
        QVERIFY2(chapters
                ? named == expected
                : std::is_permutation(named.cbegin(), named.cend(), expected.cbegin(), expected.cend()),
            qPrintable(run.out));
        const QJsonObject after = tagsOf(file);
        QCOMPARE(after.value(u"version"_s).toString(), u"2.3.0"_s);
        if (!chapters)
            QCOMPARE(after.value(u"recording"_s), before.value(u"recording"_s));
        const QJsonObject probedAfter = probed(file);
        for (auto key = probedBefore.begin(); key != probedBefore.end(); ++key)
            if (!chapters || key.key() == u"chapters"_s)
                QCOMPARE(probedAfter.value(key.key()), key.value());
        QCOMPARE(after.value(u"tocs"_s), before.value(u"tocs"_s));
        const qint64 oldStart = before.value(u"audioStart"_s).toInteger();
        const qint64 newStart = after.value(u"audioStart"_s).toInteger();
        QJsonArray moved = before.value(u"chapters"_s).toArray();
        QCOMPARE(moved.size(), chapters ? 3 : 0);
        QCOMPARE(probedAfter.value(u"chapters"_s).toArray().size(), moved.size());
        for (auto chapter : moved) {
            QJsonObject one = chapter.toObject();
            if (one.value(u"id"_s) == u"ch1"_s)
                one.insert(u"startOffset"_s, one.value(u"startOffset"_s).toInteger() - oldStart + newStart);
            chapter = one;
        }
        QCOMPARE(after.value(u"chapters"_s).toArray(), moved);
        // The audio, byte for byte, between the new tag and the ID3v1 tag.
        const QByteArray now = readFile(file);
        QCOMPARE(now.sliced(newStart, now.size() - newStart - ID3v1Size), original.sliced(oldStart));
        QCOMPARE(pelamo({u"--undo"_s}).status, 0);
        QCOMPARE(readFile(file), original);
    }

    // A podcast file with every field, a cover and kept chapters reads the same in every
    // independent reader: each row gives what its reader shows differently, or not at all.
    void readersAgree_data()
    {
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QJsonObject>("differs");
        const QJsonArray untimed {
            QJsonArray {u"Cold open \u2014 \u00e9t\u00e9"_s, QJsonValue(), QJsonValue()},
            QJsonArray {u"Interview \u6771\u4eac"_s, QJsonValue(), QJsonValue()},
            QJsonArray {u"Outro"_s, QJsonValue(), QJsonValue()}};
        // mutagen and exiftool take WFED for a link, as Apple's own files have it, and read
        // an empty address; eyeD3 0.9.7 takes TDAT for a date of its own and keeps the year.
        QTest::addRow("mutagen") << u"mutagen"_s << QJsonObject {{u"feed"_s, u""_s}};
        QTest::addRow("eyeD3") << u"eyed3"_s << QJsonObject {{u"date"_s, QJsonValue()}};
        QTest::addRow("kid3-cli (TagLib)") << u"kid3"_s << QJsonObject {{u"chapters"_s, untimed}};
        QTest::addRow("ffprobe") << u"ffprobe"_s << QJsonObject {{u"feed"_s, QJsonValue()}};
        QTest::addRow("exiftool") << u"exiftool"_s
                                  << QJsonObject {{u"feed"_s, u""_s}, {u"date"_s, QJsonValue()},
                                         {u"chapters"_s, QJsonValue()}};
    }
    void readersAgree()
    {
        QFETCH(QString, reader);
        QFETCH(QJsonObject, differs);
        const QString cover = m_library + u"/Covers/square.png"_s;
        QCOMPARE(QProcess::execute(u"ffmpeg"_s,
                     {u"-v"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s, u"testsrc=s=1400x1400"_s,
                         u"-frames:v"_s, u"1"_s, cover}),
            0);
        QJsonObject podcast = storedShow(
            u"podcast"_s, u"7C1D2E3F-4A5B-4C6D-8E9F-A0B1C2D3E4F5"_s, u"Every Field"_s, u"Podcast"_s);
        podcast.insert(u"year"_s, u"2025-11-03"_s);
        podcast.insert(u"coverFile"_s, u"square.png"_s);
        podcast.insert(u"keepChapters"_s, true);
        QVERIFY(writeFile(m_library + u"/shows.json"_s, QJsonDocument(QJsonArray {podcast}).toJson()));
        const QString file = tone(u"Episode 7.mp3"_s);
        QCOMPARE(oldTags({u"chapters"_s, u"4"_s, file}).status, 0);
        QCOMPARE(pelamo({u"--tag"_s, u"--show"_s, u"Every Field"_s, file}).status, 0);

        const QByteArray image = readFile(cover);
        QJsonObject expected {{u"title"_s, u"Episode 7"_s}, {u"artist"_s, u"Jo"_s}, {u"album"_s, u"Album"_s},
            {u"year"_s, u"2025"_s}, {u"date"_s, u"2025-11-03"_s}, {u"genre"_s, u"Podcast"_s},
            {u"description"_s, u"Desc"_s}, {u"feed"_s, u"https://example.com/feed"_s},
            {u"chapters"_s,
                QJsonArray {QJsonArray {u"Cold open \u2014 \u00e9t\u00e9"_s, 0, 300},
                    QJsonArray {u"Interview \u6771\u4eac"_s, 300, 650}, QJsonArray {u"Outro"_s, 650, 1000}}},
            // ffprobe decodes the picture and gives its size; the others hand over its bytes.
            {u"cover"_s,
                QJsonObject {{u"bytes"_s, image.size()},
                    {u"sha256"_s, reader == u"ffprobe"_s ? QJsonValue() : QJsonValue(sha256Hex(image))},
                    {u"pixels"_s, reader == u"ffprobe"_s ? QJsonValue(u"1400x1400"_s) : QJsonValue()}}}};
        for (auto it = differs.constBegin(); it != differs.constEnd(); ++it)
            expected.insert(it.key(), it.value());

        const ProgramRun read = runProgram(python, {QStringLiteral(PELAMO_READERS_TOOL), reader, file},
            QProcessEnvironment::systemEnvironment());
        QVERIFY2(read.status == 0, qPrintable(read.err));
        const QJsonObject found = QJsonDocument::fromJson(read.out.toUtf8()).object();
        QCOMPARE(QJsonDocument(found).toJson(QJsonDocument::Indented),
            QJsonDocument(expected).toJson(QJsonDocument::Indented));
    }
};

QTEST_GUILESS_MAIN(TestReleases)
#include "TestReleases.moc"
