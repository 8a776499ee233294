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

        QTest::addRow("empty") << QByteArray() << QByteArray();
        QTest::addRow("nothing to strip") << audio << audio;
        QTest::addRow("nine bytes of ID3 stay")
            << QByteArray("ID3\3\0\0\0\0\0", 9) << QByteArray("ID3\3\0\0\0\0\0", 9);
        QTest::addRow("one leading tag") << bytes({id3v2Tag(4096), audio}) << audio;
        QTest::addRow("two leading tags") << bytes({id3v2Tag(100, 4), id3v2Tag(64, 2), audio}) << audio;
        QTest::addRow("footer flag adds ten bytes")
            << bytes({"ID3", hex("04001000000005"), "12345", "3DI", hex("04001000000005"), audio}) << audio;
        QTest::addRow("size bytes combine by OR, top bit kept")
            << bytes({"ID3", hex("030000000001ff"), QByteArray(255, 't'), audio}) << audio;
        QTest::addRow("size past the end removes everything")
            << bytes({"ID3", hex("03000000007f7f"), audio}) << QByteArray();
        QTest::addRow("file that is all tag") << id3v2Tag(2048) << QByteArray();
        QTest::addRow("ID3v1 at the end") << bytes({audio, id3v1Tag()}) << audio;
        QTest::addRow("only one ID3v1 removed")
            << bytes({audio, id3v1Tag('a'), id3v1Tag('b')}) << bytes({audio, id3v1Tag('a')});
        QTest::addRow("ID3v2 tag at the end stays")
            << bytes({audio, id3v2Tag(64)}) << bytes({audio, id3v2Tag(64)});
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
        const QByteArrayView stripped = ID3::stripTags(file);
        QCOMPARE(stripped.toByteArray().toHex(' '), audio.toHex(' '));
        // A view into the same buffer, never a copy.
        if (!stripped.isEmpty())
            QVERIFY(stripped.data() >= file.constData()
                && stripped.data() + stripped.size() <= file.constData() + file.size());
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
        QTest::addRow("WAV header") << bytes({"RIFF", hex("24080000"), "WAVEfmt "}) << false;
    }
    void mpeg()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, mpeg);
        QCOMPARE(ID3::looksLikeMP3(data), mpeg);
    }

    // What write() relies on: a new tag, stripped audio and an optional ID3v1 tag strip back to that audio.
    void newTagStripsBack_data()
    {
        QTest::addColumn<QByteArray>("audio");
        QTest::addColumn<bool>("withV1");
        QTest::addRow("plain audio") << fakeAudio(5000) << false;
        QTest::addRow("plain audio, ID3v1") << fakeAudio(5000) << true;
        QTest::addRow("audio shorter than an ID3v1 tag") << fakeAudio(5) << true;
        QTest::addRow("audio ending in TAG-like bytes, ID3v1 follows")
            << bytes({fakeAudio(1000), id3v1Tag()}).left(1000 + 100) << true;
    }
    void newTagStripsBack()
    {
        QFETCH(QByteArray, audio);
        QFETCH(bool, withV1);
        ID3::Tags tags;
        tags.title = u"Title"_s;
        tags.cover = QByteArray(3000, '\xff');
        tags.writeID3v1 = withV1;
        QCOMPARE(ID3::stripTags(taggedFile(tags, audio)).toByteArray(), audio);
    }
};

QTEST_GUILESS_MAIN(TestStrip)
#include "TestStrip.moc"
