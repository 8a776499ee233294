#include "common/ShowTestSupport.h"
#include "shows/Artwork.h"
#include "shows/Show.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

using Rows = QList<Show::Row>;

const QString thisYear = QString::number(QDate::currentDate().year());

using Colours = ID3::Picture::Colours;

ID3::Picture picture(int width, int height, qint64 bytes, Colours colours = Colours::RGB,
    bool transparent = false, ID3::Picture::Format format = ID3::Picture::Format::JPEG)
{
    return {.format = format,
        .width = width,
        .height = height,
        .colours = colours,
        .transparent = transparent,
        .bytes = bytes};
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
        // Numbered tracks: the title loses the number, which has the track byte of its own.
        show.numberTracks = true;
        const Rows numbered = show.id3v1Rows();
        QCOMPARE(
            numbered.first().value, u"each file's name without its track number (first 30 characters)"_s);
        QCOMPARE(numbered.last(), (Show::Row {u"Track"_s, u"each file's number, 1 to 255"_s}));
    }

    // What the previews say of a value, against what they must say.
    void texts_data()
    {
        QTest::addColumn<QString>("made");
        QTest::addColumn<QString>("expected");
        const QString thirty = u"abcdefghij"_s.repeated(3);
        QTest::addRow("31 characters cut")
            << Show::fit(thirty + u'k', 30) << thirty + u"\u2026  (cut at 30)"_s;
        QTest::addRow("exactly 30 kept") << Show::fit(thirty, 30) << thirty;
        QTest::addRow("trimmed before counting") << Show::fit(u' ' + thirty + u" \n"_s, 30) << thirty;
        QTest::addRow("one emoji of several scalars") << Show::fit(u"👍🏽"_s, 30) << u"??"_s;

        // The genre's ID3v1 row, and the summary, which leaves out a genre that isn't written.
        const auto genre = [](const char* name, const QString& value, const QString& shown, bool inSummary) {
            Show show = blankPodcast();
            show.genre = value;
            QTest::addRow("genre row: %s", name) << show.id3v1Rows().last().value << shown;
            QTest::addRow("genre summary: %s", name)
                << show.id3v1Summary() << (inSummary ? shown : QString());
        };
        genre("in the list", u"Podcast"_s, u"Podcast"_s, true);
        genre("not in the list", u"Hip Hop"_s, u"\u2014 (\u201cHip Hop\u201d isn't in the old genre list)"_s,
            false);
        genre("spaces only", u"   "_s, QString(), false);

        const auto note = [](const QString& year, bool autoYear = false) {
            Show show = blankPodcast();
            show.year = year;
            show.autoYear = autoYear;
            return show.yearNote();
        };
        QTest::addRow("a year") << note(u"2025"_s) << u"A year, for TYER and TDRC."_s;
        QTest::addRow("a date") << note(u" 2025-11-03 "_s)
                                << u"A date: TYER 2025, TDAT 0311, TDRC 2025-11-03."_s;
        QTest::addRow("a month") << note(u"2025-11"_s) << u"A year and more: TYER 2025, TDRC 2025-11."_s;
        QTest::addRow("text")
            << note(u"Spring 2025"_s)
            << u"Neither a year nor a date like 2025-11-03: TYER and TDRC get it as it is."_s;
        QTest::addRow("blank year: no note") << note(u" "_s) << QString();
        QTest::addRow("current year: no note") << note(u"2025-11-03"_s, true) << QString();
    }
    void texts()
    {
        QFETCH(QString, made);
        QFETCH(QString, expected);
        QCOMPARE(made, expected);
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
        QTest::addRow("CMYK") << picture(1400, 1400, 300'000, Colours::CMYK) << QStringList {u"In CMYK"_s}
                              << true;
        QTest::addRow("grey with alpha") << picture(1400, 1400, 300'000, Colours::Greyscale, true)
                                         << QStringList {u"In greyscale"_s, u"Has transparency"_s} << true;
        QTest::addRow("not a JPEG or PNG, size unknown")
            << picture(0, 0, 2'000'000, Colours::RGB, false, ID3::Picture::Format::Other)
            << QStringList {u"Not a JPEG or PNG"_s} << false;
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

    // What the tagging pane lists: only what is written, the show's values as they are.
    void writtenRows_data()
    {
        QTest::addColumn<Show>("show");
        QTest::addColumn<Rows>("rows");
        Show full = fullPodcast();
        full.autoYear = true;
        full.numberTracks = true;
        QTest::addRow("a full podcast")
            << full
            << Rows {{u"Type"_s, u"Podcast"_s}, {u"Title"_s, u"Title"_s}, {u"Artist"_s, u" Artist "_s},
                   {u"Album artist"_s, u"Album Artist"_s}, {u"Album"_s, u"Album"_s},
                   {u"Track"_s, u"each file's number, of all on its disc (TRCK), and its disc (TPOS)"_s},
                   {u"Genre"_s, u"Podcast"_s}, {u"Year"_s, thisYear + u" (current year)"_s},
                   {u"Language"_s, u"en"_s}, {u"Publisher"_s, u"Publisher"_s},
                   {u"Copyright"_s, u"© Someone"_s}, {u"Comment"_s, u"Comment"_s},
                   {u"Category"_s, u"Arts \u203a Books"_s}, {u"Keywords"_s, u"k1, k2"_s},
                   {u"Feed URL"_s, u"https://example.com/feed"_s}, {u"Podcast flag"_s, u"yes (PCST)"_s},
                   {u"Description"_s, u" About 😀 "_s}, {u"Cover"_s, u"front cover image, image, 12 bytes"_s},
                   {u"Recording"_s,
                       u"each file's own lyrics, ISRC, identifiers, ReplayGain, tempo, key and rating, kept "
                       u"(USLT, SYLT, TSRC, UFID, TXXX, RVA2, TBPM, TKEY, POPM, PCNT)"_s},
                   {u"Chapters"_s, u"each file's own, kept (CHAP, CTOC)"_s},
                   {u"Older players"_s,
                       u"ID3v1 · Title · Artist · Album · %1 · Comment · Podcast · each file's number, 1 to 255"_s
                           .arg(thisYear)}};

        Show music = blankPodcast();
        music.kind = Show::Kind::Music;
        music.description = u"not for music"_s;
        music.category = u"News"_s;
        music.podcastFlag = true;
        music.composer = u"Bach"_s;
        music.titleFromFileName = true;
        music.year = u"2024-05"_s;
        music.writeID3v1 = true;
        QTest::addRow("music") << music
                               << Rows {{u"Type"_s, u"Music"_s}, {u"Title"_s, u"each file's name"_s},
                                      {u"Composer"_s, u"Bach"_s}, {u"Year"_s, u"2024-05"_s},
                                      {u"Older players"_s, u"ID3v1 · "_s + music.id3v1Summary()}};

        Show blank = blankPodcast();
        QTest::addRow("nothing set") << blank << Rows {{u"Type"_s, u"Podcast"_s}};
        blank.title = u"  \n"_s;
        blank.artist = u"\t"_s;
        blank.comment = u"\u2028"_s;
        blank.writeID3v1 = true; // the row stays even with an empty summary
        QTest::addRow("blank values")
            << blank << Rows {{u"Type"_s, u"Podcast"_s}, {u"Older players"_s, u"ID3v1 · "_s}};
    }
    void writtenRows()
    {
        QFETCH(Show, show);
        QFETCH(Rows, rows);
        QCOMPARE(show.writtenRows(ID3::pictureOf(QByteArray(12, 'x'))), rows);
    }
};

QTEST_GUILESS_MAIN(TestVocabulary)
#include "TestVocabulary.moc"
