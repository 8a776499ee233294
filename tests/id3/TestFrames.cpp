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
