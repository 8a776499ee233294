#include "Id3TestSupport.h"
#include "id3/Chapters.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(QList<ID3::KeptFrame>)

namespace {

using Frames = QList<ID3::KeptFrame>;

// Frame header flags, second byte.
constexpr char v23Compressed = char(0x80);
constexpr char v24Unsynchronised = 0x02;
constexpr char v24DataLength = 0x01;
constexpr char v24Grouped = 0x40;
constexpr qint64 unused = 0xFFFFFFFF;

QByteArray frame(int version, QByteArrayView id, const QByteArray& body, char format = 0)
{
    return bytes({id, version == 4 ? ID3::syncsafe(body.size()) : ID3::be32(body.size()), zeros(1),
        QByteArray(1, format), body});
}
const auto v3 = [](QByteArrayView id, const QByteArray& body) { return frame(3, id, body); };
const auto v4 = [](QByteArrayView id, const QByteArray& body) { return frame(4, id, body); };

QByteArray tag(int version, const QByteArray& frames, char flags = 0)
{
    return bytes({"ID3", QByteArray(1, char(version)), zeros(1), QByteArray(1, flags),
        ID3::syncsafe(frames.size()), frames});
}

QByteArray latin1z(QByteArrayView text)
{
    return bytes({text, zeros(1)});
}

// A CHAP body: element ID, start and end time, start and end offset, then sub-frames.
QByteArray chapter(
    QByteArrayView id, quint32 start, quint32 end, qint64 startOffset, const QByteArray& sub = {})
{
    return bytes(
        {latin1z(id), ID3::be32(start), ID3::be32(end), ID3::be32(startOffset), ID3::be32(unused), sub});
}

// A CTOC body: element ID, flags (0x03: top level, ordered), entry count, the entries, then sub-frames.
QByteArray toc(
    const QList<QByteArray>& children, const QByteArray& sub, QByteArrayView id = "toc", char flags = 0x03)
{
    QByteArray out = bytes({latin1z(id), QByteArray(1, flags), QByteArray(1, char(children.size()))});
    for (const QByteArray& child : children)
        out += latin1z(child);
    return out + sub;
}

// A text sub-frame body in each of the encodings a chapter tool may use.
QByteArray utf8Text(const QString& text)
{
    return bytes({hex("03"), text.toUtf8()});
}
QByteArray utf16Text(const QString& text)
{
    return bytes({hex("01"), ID3::utf16(text)});
}
QByteArray utf16BigEndianText(const QString& text)
{
    QByteArray out = hex("02");
    for (const QChar unit : text)
        out += bytes({QByteArray(1, char(unit.unicode() >> 8)), QByteArray(1, char(unit.unicode() & 0xFF))});
    return out;
}

// Unsynchronisation: a zero after every FF.
QByteArray unsynchronised(const QByteArray& data)
{
    return QByteArray(data).replace(QByteArrayView("\xff"), QByteArrayView("\xff\0", 2));
}

ID3::KeptFrame kept(QByteArrayView id, const QByteArray& body)
{
    return {id.toByteArray(), body};
}

} // namespace

class TestChapters : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void read_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<Frames>("expected");
        const QString title = u"Cold open — été 東京"_s;
        const QByteArray image = hex("89504e470d0a1a0aff00ff");
        const QByteArray picture
            = bytes({hex("00"), latin1z("image/png"), hex("03"), latin1z("guest"), image});
        const QByteArray link = bytes({hex("00"), latin1z("link"), "https://example.com"});
        const QByteArray v23Chapter = chapter(
            "ch1", 300, 650, 2000, v3("TIT2", utf16Text(title)) + v3("WXXX", link) + v3("APIC", picture));
        const QByteArray v23Toc = toc({"ch0", "ch1"}, v3("TIT2", utf16Text(u"Contents"_s)));
        const Frames both {kept("CHAP", v23Chapter), kept("CTOC", v23Toc)};

        QTest::addRow("ID3v2.3, taken as it is") << tag(
            3, v3("TIT2", utf16Text(u"Episode"_s)) + v3("CHAP", v23Chapter) + v3("CTOC", v23Toc) + zeros(100))
                                                 << both;
        QTest::addRow("ID3v2.4 UTF-8 and UTF-16BE become UTF-16 with a byte-order mark") << tag(4,
            v4("CHAP",
                chapter("ch1", 300, 650, 2000,
                    v4("TIT2", utf8Text(title)) + v4("WXXX", link) + v4("APIC", picture)))
                + v4("CTOC", toc({"ch0", "ch1"}, v4("TIT2", utf16BigEndianText(u"Contents"_s)))))
                                                                                         << both;
        QTest::addRow("ID3v2.4 several values join with a slash")
            << tag(4, v4("CHAP", chapter("ch1", 300, 650, 2000, v4("TPE1", utf8Text(u"A\0B"_s)))))
            << Frames {kept("CHAP", chapter("ch1", 300, 650, 2000, v3("TPE1", utf16Text(u"A/B"_s))))};
        QTest::addRow("ID3v2.4 UTF-8 in text fields of a picture and a link")
            << tag(4,
                   v4("CHAP",
                       chapter("ch1", 0, 1, 2000,
                           v4("APIC",
                               bytes({hex("03"), latin1z("image/png"), hex("03"), latin1z("é"), image}))
                               + v4("WXXX", bytes({hex("03"), latin1z("é"), "https://e.com"})))))
            << Frames {kept("CHAP",
                   chapter("ch1", 0, 1, 2000,
                       v3("APIC",
                           bytes({hex("01"), latin1z("image/png"), hex("03"), ID3::utf16(u"é"_s), zeros(2),
                               image}))
                           + v3("WXXX", bytes({hex("01"), ID3::utf16(u"é"_s), zeros(2), "https://e.com"}))))};
        QTest::addRow("ID3v2.4 with plain frame sizes, as some encoders write them") << tag(4,
            v3("TIT2", utf16Text(QString(127, u'x'))) + v3("CHAP", v23Chapter) + v3("CTOC", v23Toc)
                + zeros(30)) << both;
        QTest::addRow("ID3v2.4 dates in a chapter become ID3v2.3's, other ID3v2.4 frames go")
            << tag(4,
                   v4("CHAP",
                       chapter("ch1", 0, 1, 2000,
                           v4("TDRC", utf8Text(u"2024-05-17T08:30"_s)) + v4("TSOT", utf8Text(u"t"_s))
                               + v4("TDOR", utf8Text(u"1999"_s)) + v4("TIT2", utf8Text(u"t"_s)))))
            << Frames {kept("CHAP",
                   chapter("ch1", 0, 1, 2000,
                       v3("TYER", utf16Text(u"2024"_s)) + v3("TDAT", utf16Text(u"1705"_s))
                           + v3("TIME", utf16Text(u"0830"_s)) + v3("TORY", utf16Text(u"1999"_s))
                           + v3("TIT2", utf16Text(u"t"_s))))};
        QTest::addRow("ID3v2.3 unsynchronised tag")
            << tag(3, unsynchronised(v3("CHAP", v23Chapter)), char(0x80)) << Frames {both.first()};
        QTest::addRow("ID3v2.4 frame unsynchronised, with data length and group") << tag(4,
            frame(4, "CHAP", bytes({hex("07"), ID3::syncsafe(v23Chapter.size()), unsynchronised(v23Chapter)}),
                v24Unsynchronised | v24DataLength | v24Grouped)) << Frames {both.first()};
        QTest::addRow("ID3v2.4 extended header skipped")
            << tag(4, bytes({ID3::syncsafe(6), hex("0100"), v4("CTOC", v23Toc)}), 0x40)
            << Frames {both.last()};
        QTest::addRow("two leading tags, in order") << tag(3, v3("CTOC", v23Toc))
                + tag(4, v4("CHAP", v23Chapter)) << Frames {both.last(), both.first()};
        QTest::addRow("compressed frame passed over")
            << tag(3, frame(3, "CHAP", v23Chapter, v23Compressed) + v3("CTOC", v23Toc))
            << Frames {both.last()};
        QTest::addRow("chapter cut short dropped")
            << tag(3, v3("CHAP", latin1z("ch1") + zeros(10)) + v3("CHAP", "no terminator")) << Frames {};
        QTest::addRow("ID3v2.2 has none") << tag(2, bytes({"CHA", zeros(3)})) << Frames {};
    }
    void read()
    {
        QFETCH(QByteArray, head);
        QFETCH(Frames, expected);
        const Frames frames = ID3::chapterFrames(head);
        QCOMPARE(frames, expected);
        // What is kept reads back the same from the frames written.
        QCOMPARE(ID3::chapterFrames(tag(3, ID3::keptFrames(frames, {0, unused}, 0))), frames);
    }

    void offsetsMoveWithTheAudio_data()
    {
        // The old audio lay at bytes 2000 to 9000; the new starts at `start`.
        QTest::addColumn<qint64>("offset");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("moved");
        QTest::addRow("later") << qint64(2500) << qint64(2150) << qint64(2650);
        QTest::addRow("earlier") << qint64(2500) << qint64(500) << qint64(1000);
        QTest::addRow("the audio's end") << qint64(9000) << qint64(500) << qint64(7500);
        QTest::addRow("unused stays unused") << unused << qint64(500) << unused;
        QTest::addRow("0, in the old tag: unused") << qint64(0) << qint64(2150) << unused;
        QTest::addRow("in the old tag: unused") << qint64(1999) << qint64(500) << unused;
        QTest::addRow("past the audio: unused") << qint64(9001) << qint64(2150) << unused;
        QTest::addRow("past four bytes: unused") << qint64(2000) << unused << unused;
    }
    void offsetsMoveWithTheAudio()
    {
        QFETCH(qint64, offset);
        QFETCH(qint64, start);
        QFETCH(qint64, moved);
        const Frames frames {kept("CHAP", chapter("ch9", 5, 6, offset))};
        const QByteArray written = ID3::keptFrames(frames, {2000, 9000}, start);
        QCOMPARE(written, v3("CHAP", chapter("ch9", 5, 6, moved)));
        QCOMPARE(ID3::keptSize(frames), written.size());
    }

    void soundChapters_data()
    {
        QTest::addColumn<Frames>("frames");
        QTest::addColumn<Frames>("expected");
        const auto chap = [](QByteArrayView id) { return kept("CHAP", chapter(id, 0, 1, unused)); };
        const auto table = [](QByteArrayView id, char flags, const QList<QByteArray>& children) {
            return kept("CTOC", toc(children, v3("TIT2", utf16Text(u"Contents"_s)), id, flags));
        };
        const Frames sound {table("toc", 0x03, {"a", "b"}), chap("a"), chap("b")};
        QTest::addRow("sound: as they are") << sound << sound;
        QTest::addRow("a child that is gone is left out")
            << Frames {table("toc", 0x03, {"a", "gone", "b"}), chap("a"), chap("b")} << sound;
        QTest::addRow("a table left empty goes, and so does the one listing only it") << Frames {
            table("toc", 0x03, {"a", "b", "sub"}), table("sub", 0x01, {"x"}), chap("a"), chap("b"),
            table("top", 0x02, {"inner"}), table("inner", 0x00, {"y"})} << sound;
        QTest::addRow("one table at the top")
            << Frames {table("toc", 0x03, {"a", "b"}), chap("a"), chap("b"), table("more", 0x03, {"a"})}
            << Frames {table("toc", 0x03, {"a", "b"}), chap("a"), chap("b"), table("more", 0x01, {"a"})};
        QTest::addRow("each element once: the first tag's") << Frames {table("toc", 0x03, {"a", "b"}),
            chap("a"), chap("b"), table("toc", 0x03, {"a"}), kept("CHAP", chapter("a", 7, 8, unused))}
                                                            << sound;
        QTest::addRow("other frames are not chapters")
            << Frames {kept("TIT2", utf16Text(u"x"_s)), chap("a")} << Frames {chap("a")};
    }
    void soundChapters()
    {
        QFETCH(Frames, frames);
        QFETCH(Frames, expected);
        QCOMPARE(ID3::soundChapters(frames), expected);
    }
};

QTEST_GUILESS_MAIN(TestChapters)
#include "TestChapters.moc"
