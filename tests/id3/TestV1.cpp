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
    void tag_data()
    {
        QTest::addColumn<ID3::Tags>("tags");
        QTest::addColumn<QByteArray>("expected");

        ID3::Tags episode;
        episode.title = u"Episode 1"_s;
        episode.track = u"7/12"_s;
        episode.artist = u"Me"_s;
        episode.album = u"Show"_s;
        episode.albumArtist = u"Not written"_s;
        episode.year = u"2024"_s;
        episode.genre = u"Podcast"_s;
        QTest::addRow("episode") << episode
                                 << bytes({"TAG", field("Episode 1", 30), field("Me", 30), field("Show", 30),
                                        "2024", zeros(28), hex("00"), hex("07"), hex("ba")});
        QTest::addRow("all blank") << ID3::Tags()
                                   << bytes({"TAG", zeros(30 + 30 + 30 + 4 + 28), hex("0000"), hex("ff")});

        ID3::Tags edges;
        edges.title = u"  A"_s;
        edges.artist = QString(31, u'x');
        edges.album = u"Ωe\u0301"_s;
        edges.year = u"2024-05-01"_s;
        edges.comment = QString(29, u'c');
        edges.genre = u" rock\t"_s;
        edges.track = u"256/300"_s; // no byte holds it
        QTest::addRow("untrimmed, cut, non-Latin-1")
            << edges
            << bytes({"TAG", field("  A", 30), QByteArray(30, 'x'), field("?e?", 30), "2024",
                   QByteArray(28, 'c'), hex("00"), hex("00"), hex("11")});
    }
    void tag()
    {
        QFETCH(ID3::Tags, tags);
        QFETCH(QByteArray, expected);
        QCOMPARE(ID3::id3v1(tags).toHex(' '), expected.toHex(' '));
    }

    void genre_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("index");
        QTest::addRow("ROCK in spaces") << u"  ROCK "_s << 17;
        QTest::addRow("podcasts alias, any case") << u"PodCasts"_s << 186;
        QTest::addRow("Hip Hop is not Hip-Hop") << u"Hip Hop"_s << 255;
        QTest::addRow("empty") << QString() << 255;
        QTest::addRow("line break is not trimmed") << u"Rock\n"_s << 255;
        QTest::addRow("no prefix match") << u"Roc"_s << 255;
        QTest::addRow("no-break spaces trimmed") << u"\u00A0Jazz\u00A0"_s << 8;
    }
    void genre()
    {
        QFETCH(QString, name);
        QFETCH(int, index);
        QCOMPARE(int(ID3::genreIndex(name)), index);
    }
};

QTEST_GUILESS_MAIN(TestV1)
#include "TestV1.moc"
