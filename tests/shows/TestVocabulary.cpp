#include "common/ShowTestSupport.h"
#include "shows/Artwork.h"
#include "shows/Show.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

using Rows = QList<Show::Row>;

const QString thisYear = QString::number(QDate::currentDate().year());

ID3::Picture picture(int width, int height, qint64 bytes)
{
    ID3::Picture picture;
    picture.format = ID3::Picture::Format::JPEG;
    picture.width = width;
    picture.height = height;
    picture.bytes = bytes;
    return picture;
}

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

    void yearNote_data()
    {
        QTest::addColumn<QString>("year");
        QTest::addColumn<QString>("note");
        QTest::addRow("a year") << u"2025"_s << u"A year, for TYER and TDRC."_s;
        QTest::addRow("a date") << u" 2025-11-03 "_s << u"A date: TYER 2025, TDAT 0311, TDRC 2025-11-03."_s;
        QTest::addRow("a month") << u"2025-11"_s << u"A year and more: TYER 2025, TDRC 2025-11."_s;
        QTest::addRow("text")
            << u"Spring 2025"_s
            << u"Neither a year nor a date like 2025-11-03: TYER and TDRC get it as it is."_s;
        QTest::addRow("blank") << u" "_s << QString();
    }
    void yearNote()
    {
        QFETCH(QString, year);
        QFETCH(QString, note);
        Show show = blankPodcast();
        show.year = year;
        QCOMPARE(show.yearNote(), note);
        show.autoYear = true;
        QCOMPARE(show.yearNote(), QString());
    }

    void coverAdvice_data()
    {
        QTest::addColumn<ID3::Picture>("picture");
        QTest::addColumn<QStringList>("starts");
        QTest::addColumn<bool>("canMakeSmaller");
        QTest::addRow("as directories ask") << picture(1400, 1400, 400'000) << QStringList() << false;
        QTest::addRow("largest they ask, small enough")
            << picture(3000, 3000, 900'000) << QStringList() << true;
        QTest::addRow("wide") << picture(1600, 900, 200'000) << QStringList {u"Not square"_s} << true;
        QTest::addRow("small") << picture(600, 600, 90'000) << QStringList {u"Under 1400×1400"_s} << false;
        QTest::addRow("large, many bytes")
            << picture(4000, 4000, 6'000'000) << QStringList {u"Over 3000×3000"_s, u"Over 1 MB"_s} << true;
        ID3::Picture cmyk = picture(1400, 1400, 300'000);
        cmyk.colours = ID3::Picture::Colours::CMYK;
        QTest::addRow("CMYK") << cmyk << QStringList {u"In CMYK"_s} << true;
        ID3::Picture grey = picture(1400, 1400, 300'000);
        grey.colours = ID3::Picture::Colours::Greyscale;
        grey.transparent = true;
        QTest::addRow("grey with alpha")
            << grey << QStringList {u"In greyscale"_s, u"Has transparency"_s} << true;
        ID3::Picture gif = picture(0, 0, 2'000'000);
        gif.format = ID3::Picture::Format::Other;
        QTest::addRow("not a JPEG or PNG, size unknown")
            << gif << QStringList {u"Not a JPEG or PNG"_s} << false;
    }
    void coverAdvice()
    {
        QFETCH(ID3::Picture, picture);
        QFETCH(QStringList, starts);
        QFETCH(bool, canMakeSmaller);
        const QStringList advice = Artwork::advice(picture);
        QCOMPARE(advice.size(), starts.size());
        for (qsizetype i = 0; i < advice.size(); ++i)
            QVERIFY2(advice[i].startsWith(starts[i]), qPrintable(advice[i]));
        QCOMPARE(Artwork::canMakeSmaller(picture), canMakeSmaller);
    }

    void writtenRowsOfAFullPodcast()
    {
        Show show = fullPodcast();
        show.autoYear = true;
        show.numberTracks = true;
        const Rows rows = show.writtenRows(ID3::pictureOf(QByteArray(12, 'x')));
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
        QCOMPARE(valueOf(rows, u"Cover"_s), u"front cover image, image, 12 bytes"_s);
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
