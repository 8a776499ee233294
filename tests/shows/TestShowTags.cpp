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
        t = show.tags(u"/x/a.mp3"_s, std::nullopt);
        QCOMPARE((QStringList {t.album, t.description, t.category, t.keywords, t.feedURL, t.composer}),
            (QStringList {u"Album"_s, QString(), QString(), QString(), QString(), u"Composer"_s}));
        QVERIFY(!t.podcastFlag);
        QCOMPARE(t.cover, std::nullopt); // whatever coverFile says
        QVERIFY(!t.writeID3v1);
    }

    void titleFromFileName_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("title");
        QTest::addRow("extension removed") << u"/p/Episode 12.mp3"_s << u"Episode 12"_s;
        QTest::addRow("only the last dot") << u"/p/Live 2.0.final.MP3"_s << u"Live 2.0.final"_s;
        QTest::addRow("dot in folder name ignored") << u"/p.d/name"_s << u"name"_s;
        QTest::addRow("hidden file") << u"/p/.intro.mp3"_s << u".intro"_s;
    }
    void titleFromFileName()
    {
        QFETCH(QString, file);
        QFETCH(QString, title);
        Show show;
        show.title = u"ignored"_s;
        show.titleFromFileName = true;
        QCOMPARE(show.tags(file, std::nullopt).title, title);
    }

    // A folder of a release as its names number it: "TRCK|TPOS|title" for each name, in the
    // folder's order, with the folder's own disc and the largest disc beside it.
    void numberedNames_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("folderDisc"); // 0: none
        QTest::addColumn<int>("beside");
        QTest::addColumn<QStringList>("expected");
        QTest::addRow("separators after the number") << QStringList {u"01 - Intro"_s, u"02. Night"_s,
            u"03_Drive"_s, u"4 Outro"_s, u"005 \u2013 Coda"_s}
                                                     << 0 << 0
                                                     << QStringList {u"1/5||Intro"_s, u"2/5||Night"_s,
                                                            u"3/5||Drive"_s, u"4/5||Outro"_s, u"5/5||Coda"_s};
        QTest::addRow("disc and track") << QStringList {u"1-01 A"_s, u"1-02 B"_s, u"2.01 C"_s} << 0 << 0
                                        << QStringList {u"1/2|1/2|A"_s, u"2/2|1/2|B"_s, u"1/1|2/2|C"_s};
        QTest::addRow("the word Track, any case") << QStringList {u"Track 05 Five"_s, u"TRACK 6 Six"_s} << 0
                                                  << 0 << QStringList {u"5/6||Five"_s, u"6/6||Six"_s};
        QTest::addRow("a disc folder among three")
            << QStringList {u"01 a"_s, u"02 b"_s} << 2 << 3 << QStringList {u"1/2|2/3|a"_s, u"2/2|2/3|b"_s};
        QTest::addRow("a gap counts to the largest") << QStringList {u"01 a"_s, u"02 b"_s,
            u"04 d"_s} << 0 << 0 << QStringList {u"1/4||a"_s, u"2/4||b"_s, u"4/4||d"_s};
        QTest::addRow("one name without a number: places, titles whole")
            << QStringList {u"7. Seventh Heaven"_s, u"Untitled"_s} << 0 << 0
            << QStringList {u"1/2||7. Seventh Heaven"_s, u"2/2||Untitled"_s};
        QTest::addRow("the same number twice: places") << QStringList {u"01 a"_s, u"1 b"_s} << 1 << 0
                                                       << QStringList {u"1/2|1/1|01 a"_s, u"2/2|1/1|1 b"_s};
        QTest::addRow("four digits are a year, digits into a word a name") << QStringList {
            u"1984 Live"_s, u"2Pac"_s} << 0 << 0 << QStringList {u"1/2||1984 Live"_s, u"2/2||2Pac"_s};
        QTest::addRow("nothing but the number keeps its name")
            << QStringList {u"03"_s} << 0 << 0 << QStringList {u"3/3||03"_s};
    }
    void numberedNames()
    {
        QFETCH(QStringList, names);
        QFETCH(int, folderDisc);
        QFETCH(int, beside);
        QFETCH(QStringList, expected);
        Show show;
        show.titleFromFileName = true;
        show.numberTracks = true;
        const QList<Show::Track> places
            = Numbering::places(names, folderDisc ? std::optional(folderDisc) : std::nullopt, beside);
        QStringList found;
        for (qsizetype i = 0; i < names.size(); ++i) {
            const ID3::Tags tags
                = show.tags(u"/m/"_s + names.at(i) + u".mp3"_s, std::nullopt, places.value(i));
            found.append(tags.track + u'|' + tags.disc + u'|' + tags.title);
        }
        QCOMPARE(found, expected);
        // Without numbering, the name is the title as it is.
        show.numberTracks = false;
        QCOMPARE(show.tags(u"/m/01 - Intro.mp3"_s, std::nullopt, places.value(0)).title, u"01 - Intro"_s);
    }

    // "Artist - Title" names: the first separator counts, a leading number is never the
    // artist's, and a name without one keeps the show's artist and its whole title.
    void artistFromFileName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("artist");
        QTest::addColumn<QString>("title");
        QTest::addRow("artist and title") << u"Nena - 99 Luftballons"_s << u"Nena"_s << u"99 Luftballons"_s;
        QTest::addRow("a track number in front")
            << u"01 - Some Artist - Tide"_s << u"Some Artist"_s << u"Tide"_s;
        QTest::addRow("the first of the dashes") << u"A \u2014 B \u2013 C"_s << u"A"_s << u"B \u2013 C"_s;
        QTest::addRow("no separator") << u"07 Tide"_s << u"Show Artist"_s << u"07 Tide"_s;
        QTest::addRow("a hyphen within a word is none")
            << u"Jay-Z Song"_s << u"Show Artist"_s << u"Jay-Z Song"_s;
    }
    void artistFromFileName()
    {
        QFETCH(QString, name);
        QFETCH(QString, artist);
        QFETCH(QString, title);
        Show show;
        show.artist = u"Show Artist"_s;
        show.titleFromFileName = true;
        show.artistFromFileName = true;
        const ID3::Tags tags = show.tags(u"/m/"_s + name + u".mp3"_s, std::nullopt);
        QCOMPARE(tags.artist, artist);
        QCOMPARE(tags.title, title);
    }

    void year()
    {
        Show show;
        show.year = u"1999"_s;
        QCOMPARE(show.tags(u"a.mp3"_s, std::nullopt).year, QString::number(QDate::currentDate().year()));
        show.autoYear = false;
        show.year.clear();
        QCOMPARE(show.tags(u"a.mp3"_s, std::nullopt).year, QString());
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
