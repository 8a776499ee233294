#include "id3/ID3.h"
#include "shows/Show.h"

#include <QTest>

namespace {

using Rows = QList<Show::Row>;

const QString thisYear = QString::number(QDate::currentDate().year());

QStringList labels(const Rows& rows)
{
    QStringList out;
    for (const auto& row : rows)
        out.append(row.label);
    return out;
}

QString valueOf(const Rows& rows, const QString& label)
{
    for (const auto& row : rows)
        if (row.label == label)
            return row.value;
    return QStringLiteral("<absent>");
}

Show blankPodcast()
{
    Show show;
    show.podcastFlag = false;
    show.writeID3v1 = false;
    show.autoYear = false;
    return show;
}

} // namespace

class TestVocabulary : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void categories()
    {
        const auto& categories = Show::appleCategories();
        QCOMPARE(categories.size(), 19);
        QCOMPARE(categories.at(5).first, QStringLiteral("Government"));
        QCOMPARE(categories.at(6).first, QStringLiteral("History"));
        QCOMPARE(categories.at(7).first, QStringLiteral("Health & Fitness"));
        QCOMPARE(categories.at(16).first, QStringLiteral("Technology"));
        QVERIFY(categories.at(5).second.isEmpty());
        QVERIFY(categories.at(16).second.isEmpty());
        QCOMPARE(categories.first().second.first(), QStringLiteral("Books"));
        QCOMPARE(categories.last().first, QStringLiteral("TV & Film"));
        int subcategories = 0;
        for (const auto& [main, subs] : categories)
            subcategories += int(subs.size());
        QCOMPARE(subcategories, 6 + 6 + 3 + 4 + 3 + 6 + 4 + 8 + 3 + 7 + 7 + 9 + 5 + 15 + 5);
    }

    void musicGenresAllHaveAnId3v1Number()
    {
        QCOMPARE(Show::musicGenres().size(), 21);
        for (const QString& genre : Show::musicGenres())
            QVERIFY2(ID3::genreIndex(genre) != ID3::noGenre, qPrintable(genre));
    }

    void prettyCategory_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addRow("main and sub") << QStringLiteral("Arts/Books") << QStringLiteral("Arts \u203a Books");
        QTest::addRow("main only") << QStringLiteral("News") << QStringLiteral("News");
        QTest::addRow("empty") << QString() << QString();
        QTest::addRow("two slashes") << QStringLiteral("a/b/c") << QStringLiteral("a \u203a b \u203a c");
    }

    void prettyCategory()
    {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        QCOMPARE(Show::prettyCategory(stored), shown);
    }

    void fit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("shown");
        const QString thirty = QStringLiteral("abcdefghij").repeated(3);
        const QString tail = QStringLiteral("\u2026  (cut at 30)");
        QTest::addRow("trimmed") << QStringLiteral("  word  ") << 30 << QStringLiteral("word");
        QTest::addRow("31 characters cut") << thirty + u'k' << 30 << thirty + tail;
        QTest::addRow("exactly 30 kept") << thirty << 30 << thirty;
        QTest::addRow("trimmed before counting") << u' ' + thirty + QStringLiteral(" \n") << 30 << thirty;
        QTest::addRow("Japanese becomes question marks")
            << QStringLiteral("Ep 日本") << 30 << QStringLiteral("Ep ??");
        QTest::addRow("one emoji of several scalars")
            << QStringLiteral("👍🏽") << 30 << QStringLiteral("??");
        QTest::addRow("Latin-1 stays") << QStringLiteral("Café") << 30 << QStringLiteral("Café");
        QTest::addRow("comment width") << QStringLiteral("x").repeated(
            29) << 28 << QStringLiteral("x").repeated(28) + QStringLiteral("\u2026  (cut at 28)");
    }

    void fit()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(QString, shown);
        QCOMPARE(Show::fit(text, width), shown);
    }

    void id3v1Rows()
    {
        Show show;
        show.titleFromFileName = true;
        show.artist = QStringLiteral("Me");
        show.album = QStringLiteral("Album");
        show.autoYear = false;
        show.year = QStringLiteral("2024-05");
        show.comment = QStringLiteral("Hi");
        show.genre = QStringLiteral(" podcast ");
        const Rows expected {
            {QStringLiteral("Title"), QStringLiteral("each file's name (first 30 characters)")},
            {QStringLiteral("Artist"), QStringLiteral("Me")},
            {QStringLiteral("Album"), QStringLiteral("Album")},
            {QStringLiteral("Year"), QStringLiteral("2024")},
            {QStringLiteral("Comment"), QStringLiteral("Hi")},
            {QStringLiteral("Genre"), QStringLiteral("podcast")},
        };
        QCOMPARE(show.id3v1Rows(), expected);
        QCOMPARE(show.id3v1Summary(),
            QStringLiteral("each file's name (first 30 characters) · Me · Album · 2024 · Hi · podcast"));

        show.autoYear = true;
        QCOMPARE(valueOf(show.id3v1Rows(), QStringLiteral("Year")), thisYear);
    }

    void genreRow_data()
    {
        QTest::addColumn<QString>("genre");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("inSummary");
        QTest::addRow("in the list") << QStringLiteral("Podcast") << QStringLiteral("Podcast") << true;
        QTest::addRow("not in the list")
            << QStringLiteral("Hip Hop")
            << QStringLiteral("\u2014 (\u201cHip Hop\u201d isn't in the old genre list)") << false;
        QTest::addRow("spaces only") << QStringLiteral("   ") << QString() << false;
        QTest::addRow("line break is not trimmed")
            << QStringLiteral("Rock\n")
            << QStringLiteral("\u2014 (\u201cRock\n\u201d isn't in the old genre list)") << false;
    }

    void genreRow()
    {
        QFETCH(QString, genre);
        QFETCH(QString, shown);
        QFETCH(bool, inSummary);
        Show show = blankPodcast();
        show.genre = genre;
        QCOMPARE(show.id3v1Rows().size(), 6);
        QCOMPARE(show.id3v1Rows().last().label, QStringLiteral("Genre"));
        QCOMPARE(show.id3v1Rows().last().value, shown);
        QCOMPARE(show.id3v1Summary(), inSummary ? shown : QString());
    }

    void writtenRowsOfABlankPodcast()
    {
        const Rows rows = blankPodcast().writtenRows();
        QCOMPARE(rows, (Rows {{QStringLiteral("Type"), QStringLiteral("Podcast")}}));
    }

    void writtenRowsOfAFullPodcast()
    {
        Show show;
        show.title = QStringLiteral("T");
        show.artist = QStringLiteral("A");
        show.albumArtist = QStringLiteral("AA");
        show.album = QStringLiteral("Al");
        show.composer = QStringLiteral("never for podcasts");
        show.genre = QStringLiteral("Podcast");
        show.language = QStringLiteral("en");
        show.publisher = QStringLiteral("P");
        show.copyright = QStringLiteral("C");
        show.comment = QStringLiteral("Co");
        show.category = QStringLiteral("Arts/Books");
        show.keywords = QStringLiteral("K");
        show.feedURL = QStringLiteral("F");
        show.description = QStringLiteral(" D ");
        show.coverFile = QStringLiteral("x.png");
        const Rows rows = show.writtenRows();
        QCOMPARE(labels(rows),
            (QStringList {"Type", "Title", "Artist", "Album artist", "Album", "Genre", "Year", "Language",
                "Publisher", "Copyright", "Comment", "Category", "Keywords", "Feed URL", "Podcast flag",
                "Description", "Cover", "Older players"}));
        QCOMPARE(valueOf(rows, QStringLiteral("Year")), thisYear + QStringLiteral(" (current year)"));
        QCOMPARE(valueOf(rows, QStringLiteral("Category")), QStringLiteral("Arts \u203a Books"));
        QCOMPARE(valueOf(rows, QStringLiteral("Podcast flag")), QStringLiteral("yes (PCST)"));
        QCOMPARE(valueOf(rows, QStringLiteral("Description")), QStringLiteral(" D ")); // kept untrimmed
        QCOMPARE(valueOf(rows, QStringLiteral("Cover")), QStringLiteral("front cover image"));
        QCOMPARE(valueOf(rows, QStringLiteral("Older players")),
            QStringLiteral("ID3v1 · T · A · Al · %1 · Co · Podcast").arg(thisYear));
    }

    void writtenRowsOfMusic()
    {
        Show show = blankPodcast();
        show.kind = Show::Kind::Music;
        show.description = QStringLiteral("not for music");
        show.category = QStringLiteral("News");
        show.podcastFlag = true;
        show.composer = QStringLiteral("Bach");
        show.titleFromFileName = true;
        show.year = QStringLiteral("2024-05");
        show.writeID3v1 = true;
        const Rows rows = show.writtenRows();
        QCOMPARE(labels(rows), (QStringList {"Type", "Title", "Composer", "Year", "Older players"}));
        QCOMPARE(valueOf(rows, QStringLiteral("Type")), QStringLiteral("Music"));
        QCOMPARE(valueOf(rows, QStringLiteral("Title")), QStringLiteral("each file's name"));
        QCOMPARE(valueOf(rows, QStringLiteral("Year")), QStringLiteral("2024-05"));
    }

    void blankValuesWriteNoRows()
    {
        Show show = blankPodcast();
        show.title = QStringLiteral("  \n");
        show.artist = QStringLiteral("\t");
        show.comment = QStringLiteral("\u2028");
        show.writeID3v1 = true; // the row stays even with an empty summary
        QCOMPARE(labels(show.writtenRows()), (QStringList {"Type", "Older players"}));
        QCOMPARE(valueOf(show.writtenRows(), QStringLiteral("Older players")), QStringLiteral("ID3v1 · "));
    }
};

QTEST_GUILESS_MAIN(TestVocabulary)
#include "TestVocabulary.moc"
