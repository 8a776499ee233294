#include "shows/Show.h"

#include <QTest>

namespace {

Show podcastWithEverything()
{
    Show show;
    show.title = QStringLiteral("Fixed title");
    show.artist = QStringLiteral(" Artist ");
    show.albumArtist = QStringLiteral("Album Artist");
    show.album = QStringLiteral("Album");
    show.genre = QStringLiteral("Podcast");
    show.year = QStringLiteral("1999");
    show.autoYear = false;
    show.language = QStringLiteral("en");
    show.publisher = QStringLiteral("Publisher");
    show.copyright = QStringLiteral("Copyright");
    show.comment = QStringLiteral("Comment");
    show.description = QStringLiteral("Description");
    show.category = QStringLiteral("Arts/Books");
    show.keywords = QStringLiteral("k1, k2");
    show.feedURL = QStringLiteral("https://example.com/feed");
    show.podcastFlag = true;
    show.composer = QStringLiteral("Composer");
    show.notes = QStringLiteral("never written");
    show.coverFile = QStringLiteral("ignored.png");
    return show;
}

} // namespace

class TestShowTags : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void kindDecidesWhatIsWritten()
    {
        const Show podcast = podcastWithEverything();
        const QByteArray cover("\x89PNG\r\n\x1a\n");
        ID3::Tags t = podcast.tags(QStringLiteral("/x/a.mp3"), cover);
        QCOMPARE(t.title, QStringLiteral("Fixed title"));
        QCOMPARE(t.artist, QStringLiteral(" Artist ")); // copied verbatim, trimming is the engine's
        QCOMPARE(t.albumArtist, podcast.albumArtist);
        QCOMPARE(t.album, podcast.album);
        QCOMPARE(t.genre, podcast.genre);
        QCOMPARE(t.year, QStringLiteral("1999"));
        QCOMPARE(t.language, podcast.language);
        QCOMPARE(t.publisher, podcast.publisher);
        QCOMPARE(t.copyright, podcast.copyright);
        QCOMPARE(t.comment, podcast.comment);
        QCOMPARE(t.description, podcast.description);
        QCOMPARE(t.category, podcast.category);
        QCOMPARE(t.keywords, podcast.keywords);
        QCOMPARE(t.feedURL, podcast.feedURL);
        QVERIFY(t.podcastFlag);
        QCOMPARE(t.composer, QString());
        QCOMPARE(t.cover, std::optional(cover));
        QVERIFY(t.writeID3v1);
        QCOMPARE(t.padding, 1024);

        Show music = podcast;
        music.kind = Show::Kind::Music;
        music.writeID3v1 = false;
        t = music.tags(QStringLiteral("/x/a.mp3"), std::nullopt);
        QCOMPARE(t.description, QString());
        QCOMPARE(t.category, QString());
        QCOMPARE(t.keywords, QString());
        QCOMPARE(t.feedURL, QString());
        QVERIFY(!t.podcastFlag);
        QCOMPARE(t.composer, QStringLiteral("Composer"));
        QCOMPARE(t.cover, std::nullopt); // whatever coverFile says
        QVERIFY(!t.writeID3v1);
        QCOMPARE(t.padding, 1024);
        QCOMPARE(t.album, podcast.album);
    }

    void titleFromFileName_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("title");
        QTest::addRow("extension removed")
            << QStringLiteral("/p/Episode 12.mp3") << QStringLiteral("Episode 12");
        QTest::addRow("only the last dot")
            << QStringLiteral("/p/Live 2.0.final.MP3") << QStringLiteral("Live 2.0.final");
        QTest::addRow("no dot stays whole") << QStringLiteral("/p/Untitled") << QStringLiteral("Untitled");
        QTest::addRow("spaces kept") << QStringLiteral("/p/  spaced  .mp3") << QStringLiteral("  spaced  ");
        QTest::addRow("dot in folder name ignored") << QStringLiteral("/p.d/name") << QStringLiteral("name");
        QTest::addRow("hidden file") << QStringLiteral("/p/.intro.mp3") << QStringLiteral(".intro");
    }

    void titleFromFileName()
    {
        QFETCH(QString, file);
        QFETCH(QString, title);
        Show show;
        show.title = QStringLiteral("ignored");
        show.titleFromFileName = true;
        QCOMPARE(show.tags(file, std::nullopt).title, title);
    }

    void year()
    {
        Show show;
        show.year = QStringLiteral("1999");
        show.autoYear = true;
        QCOMPARE(show.tags(QStringLiteral("a.mp3"), std::nullopt).year,
            QString::number(QDate::currentDate().year()));
        show.autoYear = false;
        show.year.clear();
        QCOMPARE(show.tags(QStringLiteral("a.mp3"), std::nullopt).year, QString());
    }

    void descriptionCutByCharacters_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("expectedCount");
        const int limit = Show::descriptionLimit;
        QTest::addRow("4001 letters") << QStringLiteral("a") << limit + 1 << limit;
        QTest::addRow("exactly the limit") << QStringLiteral("a") << limit << limit;
        QTest::addRow("emoji, two units each") << QStringLiteral("😀") << limit << limit;
        QTest::addRow("4001 emoji") << QStringLiteral("😀") << limit + 1 << limit;
        QTest::addRow("letter and combining accent") << QStringLiteral("e\u0301") << limit + 5 << limit;
        QTest::addRow("family emoji sequence") << QStringLiteral("👩\u200d👩\u200d👧") << limit + 2 << limit;
    }

    void descriptionCutByCharacters()
    {
        QFETCH(QString, unit);
        QFETCH(int, count);
        QFETCH(int, expectedCount);
        Show show;
        show.description = unit.repeated(count);
        const QString written = show.tags(QStringLiteral("a.mp3"), std::nullopt).description;
        QCOMPARE(written, unit.repeated(expectedCount));
        QCOMPARE(Show::characterCount(written), expectedCount);
    }
};

QTEST_GUILESS_MAIN(TestShowTags)
#include "TestShowTags.moc"
