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
