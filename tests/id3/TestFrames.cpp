#include "Id3TestSupport.h"
#include "id3/ID3.h"
#include "id3/Picture.h"

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

// The start of a PNG file: its signature, a header with the size and colour
// type, then other chunks; the CRCs are not checked, so they are zeros.
QByteArray pngStart(quint32 width, quint32 height, int colourType, QByteArrayView chunks = {})
{
    const QByteArray header = bytes(
        {ID3::be32(width), ID3::be32(height), hex("08"), QByteArray(1, char(colourType)), hex("000000")});
    return bytes({hex("89504e470d0a1a0a"), ID3::be32(header.size()), "IHDR", header, zeros(4), chunks});
}

QByteArray pngChunk(QByteArrayView type, QByteArrayView data)
{
    return bytes({ID3::be32(data.size()), type, data, zeros(4)});
}

// The start of a JPEG file: a JFIF segment, then a frame header of the given
// kind with the size and the number of colour components.
QByteArray jpegStart(QByteArrayView beforeFrame, quint8 frameMarker, int width, int height, int components)
{
    const QByteArray jfif = bytes({hex("ffe00010"), "JFIF", hex("00010100000100010000")});
    const QByteArray frame = bytes({hex("ff"), QByteArray(1, char(frameMarker)), hex("0011"), hex("08"),
        ID3::be32(height).right(2), ID3::be32(width).right(2), QByteArray(1, char(components))});
    return bytes({hex("ffd8"), jfif, beforeFrame, frame, zeros(12)});
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
    void languages_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("code");
        QTest::addRow("EN with trailing space") << u"EN "_s << u"eng"_s;
        QTest::addRow("Dutch in tabs") << u"\tdutch\t"_s << u"nld"_s;
        QTest::addRow("three letters lower-cased") << u"JPN"_s << u"jpn"_s;
        QTest::addRow("single letter") << u"e"_s << u"eng"_s;
        QTest::addRow("line break is not trimmed") << u"en\n"_s << u"en\n"_s;
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
        QTest::addRow("comment in French")
            << ID3::commentFrame(u"Hi"_s, u"French"_s)
            << frameBytes("COMM", bytes({hex("01"), "fra", hex("fffe0000"), hex("fffe48006900")}));
        const QByteArray png = bytes({hex("89504e470d0a1a0a"), "rest"});
        QTest::addRow("PNG cover") << ID3::pictureFrame(png) << picture("image/png", png);
        QTest::addRow("anything else is JPEG")
            << ID3::pictureFrame("GIF89a....") << picture("image/jpeg", "GIF89a....");
    }
    void frames()
    {
        QFETCH(QByteArray, built);
        QFETCH(QByteArray, expected);
        QCOMPARE(built.toHex(' '), expected.toHex(' '));
    }

    void yearFrames_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("frames");
        QTest::addRow("a year") << u"2025"_s << u"TYER 2025"_s;
        QTest::addRow("year and month") << u"2025-11"_s << u"TYER 2025"_s;
        QTest::addRow("a date") << u"2025-11-03"_s << u"TYER 2025, TDAT 0311"_s;
        QTest::addRow("a date and time") << u"2025-11-03T09:30:15"_s << u"TYER 2025, TDAT 0311, TIME 0930"_s;
        QTest::addRow("no such day: the year") << u"2025-02-30"_s << u"TYER 2025"_s;
        QTest::addRow("a date, then words: the year") << u"2025-11-03 live"_s << u"TYER 2025"_s;
        QTest::addRow("digits without a dash: as it is") << u"20251103"_s << u"TYER 20251103"_s;
        QTest::addRow("text: as it is") << u"Spring 2025"_s << u"TYER Spring 2025"_s;
        QTest::addRow("empty: nothing") << QString() << QString();
    }
    void yearFrames()
    {
        QFETCH(QString, text);
        QFETCH(QString, frames);
        QStringList written;
        for (const auto& [id, value] : ID3::yearFrames(text))
            written.append(id + u' ' + value);
        QCOMPARE(written.join(u", "_s), frames);
    }

    void pictures_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<int>("colours");
        QTest::addColumn<bool>("transparent");
        using Colours = ID3::Picture::Colours;
        const auto add = [](const char* name, const QByteArray& image, const QString& size, Colours colours,
                             bool transparent) {
            QTest::addRow("%s", name) << image << size + u" bytes"_s << int(colours) << transparent;
        };
        const QByteArray idat = pngChunk("IDAT", "pixels");
        add("RGB PNG", pngStart(1400, 1400, 2, idat), u"1400×1400 PNG, 51"_s, Colours::RGB, false);
        add("greyscale PNG", pngStart(600, 600, 0, idat), u"600×600 PNG, 51"_s, Colours::Greyscale, false);
        add("PNG with alpha", pngStart(1600, 900, 6), u"1600×900 PNG, 33"_s, Colours::RGB, true);
        add("PNG with a transparent colour",
            pngStart(3000, 3000, 3, pngChunk("PLTE", "rgb") + pngChunk("tRNS", "a")), u"3000×3000 PNG, 61"_s,
            Colours::RGB, true);
        add("tRNS after the pixels says nothing", pngStart(8, 8, 3, idat + pngChunk("tRNS", "a")),
            u"8×8 PNG, 64"_s, Colours::RGB, false);
        add("baseline JPEG", jpegStart({}, 0xc0, 1400, 1400, 3), u"1400×1400 JPEG, 42"_s, Colours::RGB,
            false);
        add("progressive greyscale JPEG", jpegStart({}, 0xc2, 500, 400, 1), u"500×400 JPEG, 42"_s,
            Colours::Greyscale, false);
        add("CMYK JPEG after its Adobe segment and fill bytes",
            jpegStart(
                bytes({hex("ffee000e"), "Adobe", hex("00640000000002"), hex("ffff")}), 0xc0, 3000, 3000, 4),
            u"3000×3000 JPEG, 60"_s, Colours::CMYK, false);
        add("Huffman tables are not a frame",
            jpegStart(bytes({hex("ffc40006"), hex("00000000")}), 0xc1, 2, 3, 3), u"2×3 JPEG, 50"_s,
            Colours::RGB, false);
        add("JPEG cut short before its frame", jpegStart({}, 0xc0, 1, 1, 3).first(20), u"JPEG, 20"_s,
            Colours::RGB, false);
        add("PNG whose header runs past its end", pngStart(4, 4, 2).first(20), u"PNG, 20"_s, Colours::RGB,
            false);
        add("a chunk longer than the file ends the reading",
            pngStart(4, 4, 2, bytes({ID3::be32(1 << 30), "tEXt", pngChunk("tRNS", "a")})), u"4×4 PNG, 54"_s,
            Colours::RGB, false);
        add("GIF", "GIF89a\x01\x00\x01\x00"_ba, u"image, 10"_s, Colours::RGB, false);
    }
    void pictures()
    {
        QFETCH(QByteArray, image);
        QFETCH(QString, summary);
        QFETCH(int, colours);
        QFETCH(bool, transparent);
        const ID3::Picture picture = ID3::pictureOf(image);
        QCOMPARE(picture.bytes, image.size());
        QCOMPARE(picture.summary(), summary);
        QCOMPARE(int(picture.colours), colours);
        QCOMPARE(picture.transparent, transparent);
    }

    void tags_data()
    {
        QTest::addColumn<ID3::Tags>("tags");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<QStringList>("frames");
        const QByteArray titleFrame = frameBytes("TIT2", textBody(hex("4100")));
        ID3::Tags title;
        title.title = u"A"_s;
        QTest::addRow("one-letter title, 1024 bytes of padding")
            << title << tagOf(titleFrame, 1024) << QStringList {u"TIT2"_s};
        QTest::addRow("default record is header and padding")
            << ID3::Tags() << tagOf({}, 1024) << QStringList();
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
            << tagOf(frameBytes("COMM", bytes({hex("01"), "eng", hex("fffe0000"), hex("fffe48006900")})))
            << QStringList {u"COMM"_s};

        ID3::Tags feed = unpadded([](ID3::Tags& t) { t.feedURL = u" https://é.example/Ω "_s; });
        feed.podcastFlag = true;
        QTest::addRow("feed URL: encoding byte 00, then Latin-1; podcast flag")
            << feed
            << tagOf(bytes({frameBytes("WFED", bytes({hex("00"), "https://\xe9.example/?"})),
                   hex("5043535400000004000000000000")}))
            << QStringList {u"WFED"_s, u"PCST"_s};

        const ID3::Tags date = unpadded([](ID3::Tags& t) { t.year = u"2025-11-03"_s; });
        QTest::addRow("a date: TYER the year, TDAT day and month after it, TDRC the date")
            << date
            << tagOf(bytes({frameBytes("TYER", textBody(hex("3200300032003500"))),
                   frameBytes("TDAT", textBody(hex("3000330031003100"))),
                   frameBytes("TDRC", textBody(hex("32003000320035002d00310031002d0030003300")))}))
            << QStringList {u"TYER"_s, u"TDAT"_s, u"TDRC"_s};
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
};

QTEST_GUILESS_MAIN(TestFrames)
#include "TestFrames.moc"
