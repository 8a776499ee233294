#include "Id3TestSupport.h"
#include "id3/ID3.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray field(QByteArrayView text, qsizetype width)
{
    return bytes({text, zeros(width - text.size())});
}

} // namespace

class TestV1 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The ID3v1 tag of a record, and the genre number of a name.
    void texts_data()
    {
        QTest::addColumn<QString>("made");
        QTest::addColumn<QString>("expected");

        ID3::Tags episode;
        episode.title = u"Episode 1"_s;
        episode.track = u"7/12"_s;
        episode.artist = u"Me"_s;
        episode.album = u"Show"_s;
        episode.albumArtist = u"Not written"_s;
        episode.year = u"2024"_s;
        episode.genre = u"Podcast"_s;
        QTest::addRow("episode") << hexText(ID3::id3v1(episode))
                                 << hexText(bytes(
                                        {"TAG", field("Episode 1", 30), field("Me", 30), field("Show", 30),
                                            "2024", zeros(28), hex("00"), hex("07"), hex("ba")}));
        const QByteArray blank = bytes({"TAG", zeros(30 + 30 + 30 + 4 + 28), hex("0000"), hex("ff")});
        QTest::addRow("all blank") << hexText(ID3::id3v1({})) << hexText(blank);

        ID3::Tags edges;
        edges.title = u"  A"_s;
        edges.artist = QString(31, u'x');
        edges.album = u"Ωe\u0301"_s;
        edges.year = u"2024-05-01"_s;
        edges.comment = QString(29, u'c');
        edges.genre = u" rock\t"_s;
        edges.track = u"256/300"_s; // no byte holds it
        QTest::addRow("untrimmed, cut, non-Latin-1")
            << hexText(ID3::id3v1(edges))
            << hexText(bytes({"TAG", field("  A", 30), QByteArray(30, 'x'), field("?e?", 30), "2024",
                   QByteArray(28, 'c'), hex("00"), hex("00"), hex("11")}));

        const auto genre = [](const QString& name) { return QString::number(ID3::genreIndex(name)); };
        QTest::addRow("ROCK in spaces") << genre(u"  ROCK "_s) << u"17"_s;
        QTest::addRow("podcasts alias, any case") << genre(u"PodCasts"_s) << u"186"_s;
        QTest::addRow("Hip Hop is not Hip-Hop") << genre(u"Hip Hop"_s) << u"255"_s;
        QTest::addRow("empty") << genre(QString()) << u"255"_s;
        QTest::addRow("line break is not trimmed") << genre(u"Rock\n"_s) << u"255"_s;
        QTest::addRow("no prefix match") << genre(u"Roc"_s) << u"255"_s;
        QTest::addRow("no-break spaces trimmed") << genre(u"\u00A0Jazz\u00A0"_s) << u"8"_s;
    }
    void texts()
    {
        QFETCH(QString, made);
        QFETCH(QString, expected);
        QCOMPARE(made, expected);
    }
};

QTEST_GUILESS_MAIN(TestV1)
#include "TestV1.moc"
