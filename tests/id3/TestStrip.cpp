#include "Id3TestSupport.h"
#include "id3/ID3.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestStrip : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void strip_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("audio");
        const QByteArray audio = fakeAudio(300);

        QTest::addRow("nine bytes of ID3 stay")
            << QByteArray("ID3\3\0\0\0\0\0", 9) << QByteArray("ID3\3\0\0\0\0\0", 9);
        QTest::addRow("two leading tags") << bytes({id3v2Tag(100, 4), id3v2Tag(64, 2), audio}) << audio;
        QTest::addRow("footer flag adds ten bytes")
            << bytes({"ID3", hex("04001000000005"), "12345", "3DI", hex("04001000000005"), audio}) << audio;
        QTest::addRow("size bytes combine by OR, top bit kept")
            << bytes({"ID3", hex("030000000001ff"), QByteArray(255, 't'), audio}) << audio;
        QTest::addRow("size past the end removes everything")
            << bytes({"ID3", hex("03000000007f7f"), audio}) << QByteArray();
        QTest::addRow("only one ID3v1 removed")
            << bytes({audio, id3v1Tag('a'), id3v1Tag('b')}) << bytes({audio, id3v1Tag('a')});
        QTest::addRow("APE with header, then ID3v1") << bytes({audio, apeTag(), id3v1Tag()}) << audio;
        QTest::addRow("ID3v1 before APE stays")
            << bytes({audio, id3v1Tag(), apeTag()}) << bytes({audio, id3v1Tag()});
        const QByteArray items(20, 'i');
        QTest::addRow("APE without header") << bytes({audio, items, apeBlock(52)}) << audio;
        QTest::addRow("APE size past the start removes nothing")
            << bytes({hex("fffb9064"), apeBlock(100000)}) << bytes({hex("fffb9064"), apeBlock(100000)});
        QTest::addRow("APE size 0 removes its own footer") << bytes({audio, apeBlock(0)}) << audio;
        QTest::addRow("APE size 4 GB removes nothing")
            << bytes({audio, apeBlock(0xFFFFFFFFu)}) << bytes({audio, apeBlock(0xFFFFFFFFu)});
        QTest::addRow("everything at once")
            << bytes({id3v2Tag(30), id3v2Tag(4096, 4), audio, apeTag(), id3v1Tag()}) << audio;
    }
    void strip()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, audio);
        QCOMPARE(ID3::stripTags(file).toByteArray().toHex(' '), audio.toHex(' '));
    }

    void mpeg_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("mpeg");
        QTest::addRow("empty") << QByteArray() << false;
        QTest::addRow("frame sync, five bytes") << hex("fffb906400") << true;
        QTest::addRow("frame sync, four bytes") << hex("fffb9064") << false;
        QTest::addRow("lowest second byte") << hex("ffe0000000") << true;
        QTest::addRow("one sync bit missing") << hex("ffdf000000") << false;
        QTest::addRow("still an ID3 tag") << id3v2Tag(20) << false;
    }
    void mpeg()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, mpeg);
        QCOMPARE(ID3::looksLikeMP3(data), mpeg);
    }
};

QTEST_GUILESS_MAIN(TestStrip)
#include "TestStrip.moc"
