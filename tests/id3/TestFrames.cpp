#include "Id3TestSupport.h"
#include "id3/ID3.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray textBody(QByteArrayView utf16le)
{
    return bytes({hex("01"), hex("fffe"), utf16le});
}

QByteArray frameBytes(QByteArrayView id, QByteArrayView body)
{
    return bytes({id, ID3::be32(body.size()), hex("0000"), body});
}

QByteArray picture(QByteArrayView mime, QByteArrayView image)
{
    return frameBytes("APIC", bytes({hex("00"), mime, hex("00"), hex("03"), hex("00"), image}));
}

// A whole tag around the given frames.
QByteArray tagOf(const QByteArray& frames, qsizetype padding = 0)
{
    return bytes({id3v2Header(frames.size() + padding), frames, zeros(padding)});
}

ID3::Tags unpadded(void (*change)(ID3::Tags&))
{
    ID3::Tags tags;
    tags.padding = 0;
    change(tags);
    return tags;
}

} // namespace

class TestFrames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void integers_data()
    {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QByteArray>("bigEndian");
        QTest::addColumn<QByteArray>("syncsafe");
        QTest::addRow("zero") << qint64(0) << hex("00000000") << hex("00000000");
        QTest::addRow("127 fits the low byte") << qint64(127) << hex("0000007f") << hex("0000007f");
        QTest::addRow("128 carries past bit 7") << qint64(128) << hex("00000080") << hex("00000100");
        QTest::addRow("1039, the one-letter tag") << qint64(1039) << hex("0000040f") << hex("0000080f");
        QTest::addRow("largest syncsafe") << qint64(0x0FFFFFFF) << hex("0fffffff") << hex("7f7f7f7f");
        QTest::addRow("2^28 keeps only low bits") << (qint64(1) << 28) << hex("10000000") << hex("00000000");
        QTest::addRow("2^32 keeps only low bits") << (qint64(1) << 32) << hex("00000000") << hex("00000000");
        QTest::addRow("byte order") << qint64(0x01020304) << hex("01020304") << hex("08080604");
    }
    void integers()
    {
        QFETCH(qint64, value);
        QFETCH(QByteArray, bigEndian);
        QFETCH(QByteArray, syncsafe);
        QCOMPARE(ID3::be32(value), bigEndian);
        QCOMPARE(ID3::syncsafe(value), syncsafe);
    }

    void utf16_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::addRow("empty is the BOM alone") << QString() << hex("fffe");
        QTest::addRow("ASCII low byte first") << u"Hi"_s << hex("fffe48006900");
        QTest::addRow("BMP character") << u"é€"_s << hex("fffee900ac20");
        QTest::addRow("beyond U+FFFF as surrogate pair") << u"😀"_s << hex("fffe3dd800de");
    }
    void utf16()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, expected);
        QCOMPARE(ID3::utf16(text), expected);
    }

    void latin1_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<QByteArray>("expected");
        QTest::addRow("padded with zeros") << u"abc"_s << 5 << hex("6162630000");
        QTest::addRow("cut to the width") << u"abcdef"_s << 4 << hex("61626364");
        QTest::addRow("U+00E9 is its own byte") << u"é"_s << 2 << hex("e900");
        QTest::addRow("above U+00FF becomes ?") << u"Ω"_s << 1 << QByteArray("?");
        QTest::addRow("combining accent: one byte per scalar") << u"e\u0301"_s << 3 << hex("653f00");
        QTest::addRow("astral character is one ?") << u"😀x"_s << 2 << QByteArray("?x");
    }
    void latin1()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(QByteArray, expected);
        QCOMPARE(ID3::latin1(text, width), expected);
        QVERIFY(ID3::latin1Bytes(text).startsWith(expected.left(ID3::latin1Bytes(text).size())));
    }

    void languages_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("code");
        QTest::addRow("English") << u"English"_s << u"eng"_s;
        QTest::addRow("EN with trailing space") << u"EN "_s << u"eng"_s;
        QTest::addRow("en") << u"en"_s << u"eng"_s;
        QTest::addRow("FR, terminology code") << u"FR"_s << u"fra"_s;
        QTest::addRow("German") << u"German"_s << u"deu"_s;
        QTest::addRow("Dutch in tabs") << u"\tdutch\t"_s << u"nld"_s;
        QTest::addRow("typed three-letter code kept") << u"jpn"_s << u"jpn"_s;
        QTest::addRow("three letters lower-cased") << u"JPN"_s << u"jpn"_s;
        QTest::addRow("unknown name") << u"Japanese"_s << u"eng"_s;
        QTest::addRow("single letter") << u"e"_s << u"eng"_s;
        QTest::addRow("empty") << QString() << u"eng"_s;
        QTest::addRow("line break is not trimmed") << u"en\n"_s << u"en\n"_s;
        QTest::addRow("three non-ASCII letters") << u"日本語"_s << u"eng"_s;
        QTest::addRow("three UTF-16 units, not ASCII") << u"a😀"_s << u"eng"_s;
        QTest::addRow("no-break space trimmed") << u"\u00A0pt\u00A0"_s << u"por"_s;
    }
    void languages()
    {
        QFETCH(QString, language);
        QFETCH(QString, code);
        QCOMPARE(ID3::iso639_2(language), code);
    }

    void frames_data()
    {
        QTest::addColumn<QByteArray>("built");
        QTest::addColumn<QByteArray>("expected");
        QTest::addRow("text frame") << ID3::textFrame("TIT2"_L1, u"A"_s)
                                    << hex("54495432000000050000"
                                           "01fffe4100");
        QTest::addRow("comment with empty language") << ID3::commentFrame(u"Hi"_s, QString())
                                                     << hex("434f4d4d0000000e0000"
                                                            "01656e67fffe0000fffe48006900");
        QTest::addRow("comment in French")
            << ID3::commentFrame(u"Hi"_s, u"French"_s)
            << frameBytes("COMM", bytes({hex("01"), "fra", hex("fffe0000"), hex("fffe48006900")}));
        const QByteArray png = bytes({hex("89504e470d0a1a0a"), "rest"});
        QTest::addRow("PNG cover") << ID3::pictureFrame(png) << picture("image/png", png);
        QTest::addRow("anything else is JPEG")
            << ID3::pictureFrame("GIF89a....") << picture("image/jpeg", "GIF89a....");
        QTest::addRow("PNG signature cut short is JPEG")
            << ID3::pictureFrame(hex("89504e47")) << picture("image/jpeg", hex("89504e47"));
    }
    void frames()
    {
        QFETCH(QByteArray, built);
        QFETCH(QByteArray, expected);
        QCOMPARE(built.toHex(' '), expected.toHex(' '));
    }

    void tags_data()
    {
        QTest::addColumn<ID3::Tags>("tags");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<QStringList>("frames");
        ID3::Tags title;
        title.title = u"A"_s;
        QTest::addRow("one-letter title, 1049 bytes") << title
                                                      << bytes({hex("4944330300000000080f"
                                                                    "54495432000000050000"
                                                                    "01fffe4100"),
                                                             zeros(1024)})
                                                      << QStringList {u"TIT2"_s};
        QTest::addRow("default record is header and padding")
            << ID3::Tags() << tagOf({}, 1024) << QStringList();
        const QByteArray titleFrame = frameBytes("TIT2", textBody(hex("4100")));
        title.padding = 0;
        QTest::addRow("padding 0") << title << tagOf(titleFrame) << QStringList {u"TIT2"_s};
        title.padding = -7;
        QTest::addRow("negative padding") << title << tagOf(titleFrame) << QStringList {u"TIT2"_s};

        ID3::Tags year = unpadded([](ID3::Tags& t) { t.year = u" 2024 "_s; });
        year.genre = u"Rock"_s;
        const QByteArray yearBody = textBody(hex("3200300032003400"));
        QTest::addRow("year trimmed, TYER first, TDRC after TCON")
            << year
            << tagOf(bytes({frameBytes("TYER", yearBody),
                   frameBytes("TCON", textBody(hex("52006f0063006b00"))), frameBytes("TDRC", yearBody)}))
            << QStringList {u"TYER"_s, u"TCON"_s, u"TDRC"_s};

        ID3::Tags blanks = unpadded([](ID3::Tags& t) { t.title = u" \t\n\u2028"_s; });
        blanks.artist = u"\r\n"_s;
        blanks.language = u"  "_s;
        blanks.cover = QByteArray();
        QTest::addRow("blank values and empty cover write nothing") << blanks << tagOf({}) << QStringList();
        QTest::addRow("inner white space kept")
            << unpadded([](ID3::Tags& t) { t.artist = u" a \n b "_s; })
            << tagOf(frameBytes("TPE1", textBody(hex("610020000a0020006200")))) << QStringList {u"TPE1"_s};
        QTest::addRow("comment without language: COMM in eng, no TLAN")
            << unpadded([](ID3::Tags& t) { t.comment = u"Hi"_s; })
            << tagOf(hex("434f4d4d0000000e0000"
                         "01656e67fffe0000fffe48006900"))
            << QStringList {u"COMM"_s};

        ID3::Tags feed = unpadded([](ID3::Tags& t) { t.feedURL = u" https://é.example/Ω "_s; });
        feed.podcastFlag = true;
        QTest::addRow("feed URL in Latin-1 without encoding byte, podcast flag")
            << feed
            << tagOf(
                   bytes({frameBytes("WFED", "https://\xe9.example/?"), hex("5043535400000004000000000000")}))
            << QStringList {u"WFED"_s, u"PCST"_s};
    }
    void tags()
    {
        QFETCH(ID3::Tags, tags);
        QFETCH(QByteArray, expected);
        QFETCH(QStringList, frames);
        const ID3::BuiltTag tag = ID3::buildTag(tags);
        QCOMPARE(tag.bytes.toHex(' '), expected.toHex(' '));
        QCOMPARE(tag.frames, frames);
    }

    // Frame order and sizes are read back independently by TestRealFiles.
    void everyFieldInOrder()
    {
        const ID3::Tags tags = everyField();
        const ID3::BuiltTag tag = ID3::buildTag(tags);
        QCOMPARE(tag.frames,
            (QStringList {u"TYER"_s, u"TIT2"_s, u"TPE1"_s, u"TPE2"_s, u"TALB"_s, u"TCOM"_s, u"TCON"_s,
                u"TDRC"_s, u"TLAN"_s, u"TPUB"_s, u"TCOP"_s, u"COMM"_s, u"TDES"_s, u"TCAT"_s, u"TKWD"_s,
                u"WFED"_s, u"PCST"_s, u"APIC"_s}));
        QVERIFY(tag.bytes.contains(ID3::textFrame("TLAN"_L1, u"fra"_s)));
        QVERIFY(tag.bytes.contains(ID3::commentFrame(tags.comment, u"fr"_s)));
        QVERIFY(tag.bytes.endsWith(ID3::pictureFrame(*tags.cover) + zeros(1024)));
    }
};

QTEST_GUILESS_MAIN(TestFrames)
#include "TestFrames.moc"
