#include "common/ShowTestSupport.h"
#include "shows/Show.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestShowTags : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void kindDecidesWhatIsWritten()
    {
        Show show = fullPodcast();
        const QByteArray cover("\x89PNG\r\n\x1a\n");
        // Values are copied verbatim: trimming is the engine's.
        ID3::Tags t = show.tags(u"/x/a.mp3"_s, cover);
        QCOMPARE(
            (QStringList {t.title, t.artist, t.albumArtist, t.album, t.genre, t.year, t.language, t.publisher,
                t.copyright, t.comment, t.description, t.category, t.keywords, t.feedURL, t.composer}),
            (QStringList {u"Title"_s, u" Artist "_s, u"Album Artist"_s, u"Album"_s, u"Podcast"_s, u"1999"_s,
                u"en"_s, u"Publisher"_s, u"© Someone"_s, u"Comment"_s, u" About 😀 "_s, u"Arts/Books"_s,
                u"k1, k2"_s, u"https://example.com/feed"_s, QString()}));
        QVERIFY(t.podcastFlag);
        QCOMPARE(t.cover, std::optional(cover));
        QVERIFY(t.writeID3v1);

        show.kind = Show::Kind::Music;
        show.writeID3v1 = false;
        show.autoYear = true; // whatever the year field says
        t = show.tags(u"/x/a.mp3"_s, std::nullopt);
        QCOMPARE(
            (QStringList {t.album, t.description, t.category, t.keywords, t.feedURL, t.composer, t.year}),
            (QStringList {u"Album"_s, QString(), QString(), QString(), QString(), u"Composer"_s,
                QString::number(QDate::currentDate().year())}));
        QVERIFY(!t.podcastFlag);
        QCOMPARE(t.cover, std::nullopt); // whatever coverFile says
        QVERIFY(!t.writeID3v1);
    }

    // A folder of a release as its names number it: "TRCK|TPOS|title" for each name, in the
    // folder's order, with the folder's own disc and the largest disc beside it.
    void numberedNames_data()
    {
        QTest::addColumn<QString>("names"); // separated by ", "
        QTest::addColumn<int>("folderDisc"); // 0: none
        QTest::addColumn<int>("beside");
        QTest::addColumn<QString>("expected");
        QTest::addRow("separators after the number")
            << u"01 - Intro, 02. Night, 03_Drive, 4 Outro, 005 \u2013 Coda"_s << 0 << 0
            << u"1/5||Intro, 2/5||Night, 3/5||Drive, 4/5||Outro, 5/5||Coda"_s;
        QTest::addRow("disc and track")
            << u"1-01 A, 1-02 B, 2.01 C"_s << 0 << 0 << u"1/2|1/2|A, 2/2|1/2|B, 1/1|2/2|C"_s;
        QTest::addRow("the word Track, any case")
            << u"Track 05 Five, TRACK 6 Six"_s << 0 << 0 << u"5/6||Five, 6/6||Six"_s;
        QTest::addRow("a disc folder among three") << u"01 a, 02 b"_s << 2 << 3 << u"1/2|2/3|a, 2/2|2/3|b"_s;
        QTest::addRow("a gap counts to the largest")
            << u"01 a, 02 b, 04 d"_s << 0 << 0 << u"1/4||a, 2/4||b, 4/4||d"_s;
        QTest::addRow("one name without a number: places, titles whole")
            << u"7. Seventh Heaven, Untitled"_s << 0 << 0 << u"1/2||7. Seventh Heaven, 2/2||Untitled"_s;
        QTest::addRow("the same number twice: places")
            << u"01 a, 1 b"_s << 1 << 0 << u"1/2|1/1|01 a, 2/2|1/1|1 b"_s;
        QTest::addRow("four digits are a year, digits into a word a name")
            << u"1984 Live, 2Pac"_s << 0 << 0 << u"1/2||1984 Live, 2/2||2Pac"_s;
        QTest::addRow("nothing but the number keeps its name") << u"03"_s << 0 << 0 << u"3/3||03"_s;
    }
    void numberedNames()
    {
        QFETCH(QString, names);
        QFETCH(int, folderDisc);
        QFETCH(int, beside);
        QFETCH(QString, expected);
        Show show;
        show.titleFromFileName = true;
        show.numberTracks = true;
        const QStringList list = names.split(u", "_s);
        const QList<Show::Track> places
            = Numbering::places(list, folderDisc ? std::optional(folderDisc) : std::nullopt, beside);
        QStringList found;
        for (qsizetype i = 0; i < list.size(); ++i) {
            const ID3::Tags tags
                = show.tags(u"/m/"_s + list.at(i) + u".mp3"_s, std::nullopt, places.value(i));
            found.append(tags.track + u'|' + tags.disc + u'|' + tags.title);
        }
        QCOMPARE(found.join(u", "_s), expected);
        // Without numbering, the name is the title as it is.
        show.numberTracks = false;
        QCOMPARE(show.tags(u"/m/01 - Intro.mp3"_s, std::nullopt, places.value(0)).title, u"01 - Intro"_s);
    }

    // The title from a file's name: only its last extension goes. With artistFromFileName,
    // "Artist - Title" names: the first separator counts, a leading number is never the
    // artist's, and a name without one keeps the show's artist and its whole title.
    void fromFileName_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("withArtist");
        QTest::addColumn<QString>("artist");
        QTest::addColumn<QString>("title");
        const QString showArtist = u"Show Artist"_s;
        QTest::addRow("extension removed")
            << u"/p/Episode 12.mp3"_s << false << showArtist << u"Episode 12"_s;
        QTest::addRow("only the last dot")
            << u"/p/Live 2.0.final.MP3"_s << false << showArtist << u"Live 2.0.final"_s;
        QTest::addRow("dot in folder name ignored") << u"/p.d/name"_s << false << showArtist << u"name"_s;
        QTest::addRow("hidden file") << u"/p/.intro.mp3"_s << false << showArtist << u".intro"_s;
        QTest::addRow("artist and title")
            << u"/m/Nena - 99 Luftballons.mp3"_s << true << u"Nena"_s << u"99 Luftballons"_s;
        QTest::addRow("a track number in front")
            << u"/m/01 - Some Artist - Tide.mp3"_s << true << u"Some Artist"_s << u"Tide"_s;
        QTest::addRow("the first of the dashes")
            << u"/m/A \u2014 B \u2013 C.mp3"_s << true << u"A"_s << u"B \u2013 C"_s;
        QTest::addRow("no separator") << u"/m/07 Tide.mp3"_s << true << showArtist << u"07 Tide"_s;
        QTest::addRow("a hyphen within a word is none")
            << u"/m/Jay-Z Song.mp3"_s << true << showArtist << u"Jay-Z Song"_s;
    }
    void fromFileName()
    {
        QFETCH(QString, file);
        QFETCH(bool, withArtist);
        QFETCH(QString, artist);
        QFETCH(QString, title);
        Show show;
        show.title = u"ignored"_s;
        show.artist = u"Show Artist"_s;
        show.titleFromFileName = true;
        show.artistFromFileName = withArtist;
        const ID3::Tags tags = show.tags(file, std::nullopt);
        QCOMPARE(tags.artist, artist);
        QCOMPARE(tags.title, title);
    }

    void descriptionCutByCharacters_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("count");
        const int limit = Show::descriptionLimit;
        QTest::addRow("4001 letters") << u"a"_s << limit + 1;
        QTest::addRow("emoji, two units each") << u"😀"_s << limit;
        QTest::addRow("letter and combining accent") << u"e\u0301"_s << limit + 5;
        QTest::addRow("family emoji sequence") << u"👩\u200d👩\u200d👧"_s << limit + 2;
    }
    void descriptionCutByCharacters()
    {
        QFETCH(QString, unit);
        QFETCH(int, count);
        Show show;
        show.description = unit.repeated(count);
        const QString written = show.tags(u"a.mp3"_s, std::nullopt).description;
        QCOMPARE(written, unit.repeated(Show::descriptionLimit));
        QCOMPARE(Show::characterCount(written), Show::descriptionLimit);
    }
};

QTEST_GUILESS_MAIN(TestShowTags)
#include "TestShowTags.moc"
