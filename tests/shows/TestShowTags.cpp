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

    // A numbered release: the number a name starts with is the track, and not part of the title.
    void numberedNames_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("number"); // 0: none
        QTest::addColumn<QString>("title");
        QTest::addRow("dash between spaces") << u"01 - Intro.mp3"_s << 1 << u"Intro"_s;
        QTest::addRow("dot") << u"01. Intro.mp3"_s << 1 << u"Intro"_s;
        QTest::addRow("underscore") << u"01_Intro.mp3"_s << 1 << u"Intro"_s;
        QTest::addRow("space") << u"7 Intro.mp3"_s << 7 << u"Intro"_s;
        QTest::addRow("three digits, en dash") << u"100 \u2013 Bullets.mp3"_s << 100 << u"Bullets"_s;
        QTest::addRow("four digits are a year") << u"1984 Live.mp3"_s << 0 << u"1984 Live"_s;
        QTest::addRow("digits run into a word") << u"2Pac.mp3"_s << 0 << u"2Pac"_s;
        QTest::addRow("nothing but the number keeps its name") << u"03.mp3"_s << 3 << u"03"_s;
    }
    void numberedNames()
    {
        QFETCH(QString, file);
        QFETCH(int, number);
        QFETCH(QString, title);
        QCOMPARE(Show::leadingNumber(file).value_or(0), number);
        Show show;
        show.titleFromFileName = true;
        QCOMPARE(show.tags(u"/m/"_s + file, std::nullopt, Show::Track {4, 9}).track, QString());
        show.numberTracks = true;
        const ID3::Tags tags = show.tags(u"/m/"_s + file, std::nullopt, Show::Track {4, 9});
        QCOMPARE(tags.title, title);
        QCOMPARE(tags.track, u"4/9"_s);
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
