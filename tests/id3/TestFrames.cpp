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

// The year frames as "TYER 2025, TDAT 0311".
QString yearText(const QString& text)
{
    QStringList written;
    for (const auto& [id, value] : ID3::yearFrames(text))
        written.append(id + u' ' + value);
    return written.join(u", "_s);
}

// A picture as its summary, then its colours and whether it is transparent.
QString pictureText(const QByteArray& image)
{
    const ID3::Picture picture = ID3::pictureOf(image);
    const QStringList colours {u"RGB"_s, u"greyscale"_s, u"CMYK"_s};
    return picture.summary() + u", "_s + colours.value(int(picture.colours))
        + (picture.transparent ? u", transparent"_s : QString());
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
    // What a language, a year, a frame, a picture or a tag becomes, against what it must be.
    void texts_data()
    {
        QTest::addColumn<QString>("made");
        QTest::addColumn<QString>("expected");
        QTest::addRow("EN with trailing space") << ID3::iso639_2(u"EN "_s) << u"eng"_s;
        QTest::addRow("Dutch in tabs") << ID3::iso639_2(u"\tdutch\t"_s) << u"nld"_s;
        QTest::addRow("three letters lower-cased") << ID3::iso639_2(u"JPN"_s) << u"jpn"_s;
        QTest::addRow("single letter") << ID3::iso639_2(u"e"_s) << u"eng"_s;
        QTest::addRow("line break is not trimmed") << ID3::iso639_2(u"en\n"_s) << u"en\n"_s;
        QTest::addRow("three UTF-16 units, not ASCII") << ID3::iso639_2(u"a😀"_s) << u"eng"_s;
        QTest::addRow("no-break space trimmed") << ID3::iso639_2(u"\u00A0pt\u00A0"_s) << u"por"_s;

        QTest::addRow("a year") << yearText(u"2025"_s) << u"TYER 2025"_s;
        QTest::addRow("year and month") << yearText(u"2025-11"_s) << u"TYER 2025"_s;
        QTest::addRow("a date") << yearText(u"2025-11-03"_s) << u"TYER 2025, TDAT 0311"_s;
        QTest::addRow("a date and time")
            << yearText(u"2025-11-03T09:30:15"_s) << u"TYER 2025, TDAT 0311, TIME 0930"_s;
        QTest::addRow("no such day: the year") << yearText(u"2025-02-30"_s) << u"TYER 2025"_s;
        QTest::addRow("a date, then words: the year") << yearText(u"2025-11-03 live"_s) << u"TYER 2025"_s;
        QTest::addRow("digits without a dash: as it is") << yearText(u"20251103"_s) << u"TYER 20251103"_s;
        QTest::addRow("text: as it is") << yearText(u"Spring 2025"_s) << u"TYER Spring 2025"_s;
        QTest::addRow("empty: nothing") << yearText(QString()) << QString();

        QTest::addRow("comment in French")
            << hexText(ID3::commentFrame(u"Hi"_s, u"French"_s))
            << hexText(frameBytes("COMM", bytes({hex("01"), "fra", hex("fffe0000"), hex("fffe48006900")})));
        const QByteArray png = bytes({hex("89504e470d0a1a0a"), "rest"});
        QTest::addRow("PNG cover") << hexText(ID3::pictureFrame(png)) << hexText(picture("image/png", png));
        QTest::addRow("anything else is JPEG")
            << hexText(ID3::pictureFrame("GIF89a....")) << hexText(picture("image/jpeg", "GIF89a...."));

        const QByteArray idat = pngChunk("IDAT", "pixels");
        QTest::addRow("RGB PNG") << pictureText(pngStart(1400, 1400, 2, idat))
                                 << u"1400×1400 PNG, 51 bytes, RGB"_s;
        QTest::addRow("greyscale PNG")
            << pictureText(pngStart(600, 600, 0, idat)) << u"600×600 PNG, 51 bytes, greyscale"_s;
        QTest::addRow("PNG with alpha")
            << pictureText(pngStart(1600, 900, 6)) << u"1600×900 PNG, 33 bytes, RGB, transparent"_s;
        QTest::addRow("PNG with a transparent colour")
            << pictureText(pngStart(3000, 3000, 3, pngChunk("PLTE", "rgb") + pngChunk("tRNS", "a")))
            << u"3000×3000 PNG, 61 bytes, RGB, transparent"_s;
        QTest::addRow("tRNS after the pixels says nothing")
            << pictureText(pngStart(8, 8, 3, idat + pngChunk("tRNS", "a"))) << u"8×8 PNG, 64 bytes, RGB"_s;
        QTest::addRow("baseline JPEG")
            << pictureText(jpegStart({}, 0xc0, 1400, 1400, 3)) << u"1400×1400 JPEG, 42 bytes, RGB"_s;
        QTest::addRow("progressive greyscale JPEG")
            << pictureText(jpegStart({}, 0xc2, 500, 400, 1)) << u"500×400 JPEG, 42 bytes, greyscale"_s;
        QTest::addRow("CMYK JPEG after its Adobe segment and fill bytes") << pictureText(
            jpegStart(bytes({hex("ffee000e"), "Adobe", hex("00640000000002"), hex("ffff")}), 0xc0, 3000, 3000,
                4)) << u"3000×3000 JPEG, 60 bytes, CMYK"_s;
        QTest::addRow("Huffman tables are not a frame")
            << pictureText(jpegStart(bytes({hex("ffc40006"), hex("00000000")}), 0xc1, 2, 3, 3))
            << u"2×3 JPEG, 50 bytes, RGB"_s;
        QTest::addRow("JPEG cut short before its frame")
            << pictureText(jpegStart({}, 0xc0, 1, 1, 3).first(20)) << u"JPEG, 20 bytes, RGB"_s;
        QTest::addRow("PNG whose header runs past its end")
            << pictureText(pngStart(4, 4, 2).first(20)) << u"PNG, 20 bytes, RGB"_s;
        QTest::addRow("a chunk longer than the file ends the reading")
            << pictureText(pngStart(4, 4, 2, bytes({ID3::be32(1 << 30), "tEXt", pngChunk("tRNS", "a")})))
            << u"4×4 PNG, 54 bytes, RGB"_s;
        QTest::addRow("GIF") << pictureText("GIF89a\x01\x00\x01\x00"_ba) << u"image, 10 bytes, RGB"_s;

        // A whole tag's bytes, then the IDs of its frames in the order written.
        const auto tag = [](const char* name, const ID3::Tags& tags, const QByteArray& expected,
                             const QStringList& frames) {
            const ID3::BuiltTag built = ID3::buildTag(tags);
            QTest::addRow("%s", name) << hexText(built.bytes) + u" / "_s + built.frames.join(u' ')
                                      << hexText(expected) + u" / "_s + frames.join(u' ');
        };

        const QByteArray titleFrame = frameBytes("TIT2", textBody(hex("4100")));
        ID3::Tags title;
        title.title = u"A"_s;
        tag("one-letter title, 1024 bytes of padding", title, tagOf(titleFrame, 1024), {u"TIT2"_s});
        title.padding = -7;
        tag("negative padding", title, tagOf(titleFrame), {u"TIT2"_s});

        ID3::Tags year = unpadded([](ID3::Tags& t) { t.year = u" 2024 "_s; });
        year.genre = u"Rock"_s;
        const QByteArray yearBody = textBody(hex("3200300032003400"));
        tag("year trimmed, TYER first, TDRC after TCON", year,
            tagOf(bytes({frameBytes("TYER", yearBody), frameBytes("TCON", textBody(hex("52006f0063006b00"))),
                frameBytes("TDRC", yearBody)})),
            {u"TYER"_s, u"TCON"_s, u"TDRC"_s});

        ID3::Tags blanks = unpadded([](ID3::Tags& t) { t.title = u" \t\n\u2028"_s; });
        blanks.artist = u"\r\n"_s;
        blanks.language = u"  "_s;
        blanks.cover = QByteArray();
        tag("blank values and empty cover write nothing", blanks, tagOf({}), {});
        tag("inner white space kept", unpadded([](ID3::Tags& t) { t.artist = u" a \n b "_s; }),
            tagOf(frameBytes("TPE1", textBody(hex("610020000a0020006200")))), {u"TPE1"_s});
        tag("comment without language: COMM in eng, no TLAN",
            unpadded([](ID3::Tags& t) { t.comment = u"Hi"_s; }),
            tagOf(frameBytes("COMM", bytes({hex("01"), "eng", hex("fffe0000"), hex("fffe48006900")}))),
            {u"COMM"_s});

        ID3::Tags feed = unpadded([](ID3::Tags& t) { t.feedURL = u" https://é.example/Ω "_s; });
        feed.podcastFlag = true;
        tag("feed URL: encoding byte 00, then Latin-1; podcast flag", feed,
            tagOf(bytes({frameBytes("WFED", bytes({hex("00"), "https://\xe9.example/?"})),
                hex("5043535400000004000000000000")})),
            {u"WFED"_s, u"PCST"_s});

        tag("a date: TYER the year, TDAT day and month after it, TDRC the date",
            unpadded([](ID3::Tags& t) { t.year = u"2025-11-03"_s; }),
            tagOf(bytes({frameBytes("TYER", textBody(hex("3200300032003500"))),
                frameBytes("TDAT", textBody(hex("3000330031003100"))),
                frameBytes("TDRC", textBody(hex("32003000320035002d00310031002d0030003300")))})),
            {u"TYER"_s, u"TDAT"_s, u"TDRC"_s});
    }
    void texts()
    {
        QFETCH(QString, made);
        QFETCH(QString, expected);
        QCOMPARE(made, expected);
    }
};

QTEST_GUILESS_MAIN(TestFrames)
#include "TestFrames.moc"
