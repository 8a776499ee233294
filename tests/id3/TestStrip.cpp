#include "Id3TestSupport.h"
#include "id3/ID3.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestStrip : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The audio stripTags() leaves of a file, and whether data starts like MPEG audio.
    void texts_data()
    {
        QTest::addColumn<QString>("made");
        QTest::addColumn<QString>("expected");
        const auto strip = [](const char* name, const QByteArray& file, const QByteArray& audio) {
            QTest::addRow("%s", name) << hexText(ID3::stripTags(file)) << hexText(audio);
        };
        const QByteArray audio = fakeAudio(300);
        strip("nine bytes of ID3 stay", QByteArray("ID3\3\0\0\0\0\0", 9), QByteArray("ID3\3\0\0\0\0\0", 9));
        strip("two leading tags", bytes({id3v2Tag(100, 4), id3v2Tag(64, 2), audio}), audio);
        strip("footer flag adds ten bytes",
            bytes({"ID3", hex("04001000000005"), "12345", "3DI", hex("04001000000005"), audio}), audio);
        strip("size bytes combine by OR, top bit kept",
            bytes({"ID3", hex("030000000001ff"), QByteArray(255, 't'), audio}), audio);
        strip("size past the end removes everything", bytes({"ID3", hex("03000000007f7f"), audio}), {});
        strip("only one ID3v1 removed", bytes({audio, id3v1Tag('a'), id3v1Tag('b')}),
            bytes({audio, id3v1Tag('a')}));
        strip("APE with header, then ID3v1", bytes({audio, apeTag(), id3v1Tag()}), audio);
        strip("ID3v1 before APE stays", bytes({audio, id3v1Tag(), apeTag()}), bytes({audio, id3v1Tag()}));
        strip("APE without header", bytes({audio, QByteArray(20, 'i'), apeBlock(52)}), audio);
        strip("APE size past the start removes nothing", bytes({hex("fffb9064"), apeBlock(100000)}),
            bytes({hex("fffb9064"), apeBlock(100000)}));
        strip("APE size 0 removes its own footer", bytes({audio, apeBlock(0)}), audio);
        strip("APE size 4 GB removes nothing", bytes({audio, apeBlock(0xFFFFFFFFu)}),
            bytes({audio, apeBlock(0xFFFFFFFFu)}));
        strip("everything at once", bytes({id3v2Tag(30), id3v2Tag(4096, 4), audio, apeTag(), id3v1Tag()}),
            audio);

        const auto mpeg
            = [](const QByteArray& data) { return ID3::looksLikeMP3(data) ? u"MPEG"_s : u"not MPEG"_s; };
        QTest::addRow("empty") << mpeg({}) << u"not MPEG"_s;
        QTest::addRow("frame sync, five bytes") << mpeg(hex("fffb906400")) << u"MPEG"_s;
        QTest::addRow("frame sync, four bytes") << mpeg(hex("fffb9064")) << u"not MPEG"_s;
        QTest::addRow("lowest second byte") << mpeg(hex("ffe0000000")) << u"MPEG"_s;
        QTest::addRow("one sync bit missing") << mpeg(hex("ffdf000000")) << u"not MPEG"_s;
        QTest::addRow("still an ID3 tag") << mpeg(id3v2Tag(20)) << u"not MPEG"_s;
    }
    void texts()
    {
        QFETCH(QString, made);
        QFETCH(QString, expected);
        QCOMPARE(made, expected);
    }
};

QTEST_GUILESS_MAIN(TestStrip)
#include "TestStrip.moc"
