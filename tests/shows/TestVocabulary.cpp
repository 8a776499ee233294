#include "common/ShowTestSupport.h"
#include "shows/Show.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

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
    return u"<absent>"_s;
}

Show blankPodcast()
{
    Show show;
    show.podcastFlag = false;
    show.writeID3v1 = false;
    show.autoYear = false;
    show.keepChapters = false;
    show.keepTrackInfo = false;
    return show;
}

} // namespace

class TestVocabulary : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        const QString thirty = u"abcdefghij"_s.repeated(3);
        QTest::addRow("31 characters cut") << thirty + u'k' << thirty + u"\u2026  (cut at 30)"_s;
        QTest::addRow("exactly 30 kept") << thirty << thirty;
        QTest::addRow("trimmed before counting") << u' ' + thirty + u" \n"_s << thirty;
        QTest::addRow("one emoji of several scalars") << u"👍🏽"_s << u"??"_s;
    }
    void fit()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(Show::fit(text, 30), shown);
    }

    void id3v1Rows()
    {
        Show show;
        show.titleFromFileName = true;
        show.artist = u"Me"_s;
        show.album = u"Album"_s;
        show.autoYear = false;
        show.year = u"2024-05"_s;
        show.comment = u"Hi"_s;
        show.genre = u" podcast "_s;
        const Rows expected {{u"Title"_s, u"each file's name (first 30 characters)"_s},
            {u"Artist"_s, u"Me"_s}, {u"Album"_s, u"Album"_s}, {u"Year"_s, u"2024"_s}, {u"Comment"_s, u"Hi"_s},
            {u"Genre"_s, u"podcast"_s}};
        QCOMPARE(show.id3v1Rows(), expected);
        show.autoYear = true;
        QCOMPARE(valueOf(show.id3v1Rows(), u"Year"_s), thisYear);
        // Numbered tracks: the title loses the number, which has the track byte of its own.
        show.numberTracks = true;
        const Rows numbered = show.id3v1Rows();
        QCOMPARE(
            numbered.first().value, u"each file's name without its track number (first 30 characters)"_s);
        QCOMPARE(numbered.last(), (Show::Row {u"Track"_s, u"each file's number, 1 to 255"_s}));
        QVERIFY(show.id3v1Summary().endsWith(u" \u00b7 each file's number, 1 to 255"_s));
    }

    void genreRow_data()
    {
        QTest::addColumn<QString>("genre");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("inSummary");
        QTest::addRow("in the list") << u"Podcast"_s << u"Podcast"_s << true;
        QTest::addRow("not in the list")
            << u"Hip Hop"_s << u"\u2014 (\u201cHip Hop\u201d isn't in the old genre list)"_s << false;
        QTest::addRow("spaces only") << u"   "_s << QString() << false;
    }
    void genreRow()
    {
        QFETCH(QString, genre);
        QFETCH(QString, shown);
        QFETCH(bool, inSummary);
        Show show = blankPodcast();
        show.genre = genre;
        QCOMPARE(show.id3v1Rows().last().value, shown);
        QCOMPARE(show.id3v1Summary(), inSummary ? shown : QString());
    }

    void writtenRowsOfAFullPodcast()
    {
        Show show = fullPodcast();
        show.autoYear = true;
        show.numberTracks = true;
        const Rows rows = show.writtenRows();
        QCOMPARE(labels(rows),
            (QStringList {"Type", "Title", "Artist", "Album artist", "Album", "Track", "Genre", "Year",
                "Language", "Publisher", "Copyright", "Comment", "Category", "Keywords", "Feed URL",
                "Podcast flag", "Description", "Cover", "Recording", "Chapters", "Older players"}));
        QCOMPARE(valueOf(rows, u"Track"_s),
            u"each file's number, of all on its disc (TRCK), and its disc (TPOS)"_s);
        QCOMPARE(valueOf(rows, u"Chapters"_s), u"each file's own, kept (CHAP, CTOC)"_s);
        QCOMPARE(valueOf(rows, u"Year"_s), thisYear + u" (current year)"_s);
        QCOMPARE(valueOf(rows, u"Category"_s), u"Arts \u203a Books"_s);
        QCOMPARE(valueOf(rows, u"Podcast flag"_s), u"yes (PCST)"_s);
        QCOMPARE(valueOf(rows, u"Cover"_s), u"front cover image"_s);
        QCOMPARE(valueOf(rows, u"Older players"_s),
            u"ID3v1 · Title · Artist · Album · %1 · Comment · Podcast · each file's number, 1 to 255"_s.arg(
                thisYear));
    }

    void writtenRowsOfMusic()
    {
        Show show = blankPodcast();
        show.kind = Show::Kind::Music;
        show.description = u"not for music"_s;
        show.category = u"News"_s;
        show.podcastFlag = true;
        show.composer = u"Bach"_s;
        show.titleFromFileName = true;
        show.year = u"2024-05"_s;
        show.writeID3v1 = true;
        QCOMPARE(show.writtenRows(),
            (Rows {{u"Type"_s, u"Music"_s}, {u"Title"_s, u"each file's name"_s}, {u"Composer"_s, u"Bach"_s},
                {u"Year"_s, u"2024-05"_s}, {u"Older players"_s, u"ID3v1 · "_s + show.id3v1Summary()}}));
    }

    void blankValuesWriteNoRows()
    {
        Show show = blankPodcast();
        QCOMPARE(show.writtenRows(), (Rows {{u"Type"_s, u"Podcast"_s}}));
        show.title = u"  \n"_s;
        show.artist = u"\t"_s;
        show.comment = u"\u2028"_s;
        show.writeID3v1 = true; // the row stays even with an empty summary
        QCOMPARE(show.writtenRows(), (Rows {{u"Type"_s, u"Podcast"_s}, {u"Older players"_s, u"ID3v1 · "_s}}));
    }
};

QTEST_GUILESS_MAIN(TestVocabulary)
#include "TestVocabulary.moc"
