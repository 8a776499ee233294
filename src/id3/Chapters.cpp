#include "id3/Chapters.h"

#include "id3/ID3.h"

#include <QString>

#include <algorithm>
#include <optional>

namespace ID3 {
namespace {

using namespace Qt::Literals::StringLiterals;

// Tag header flags.
constexpr quint8 tagUnsynchronised = 0x80;
constexpr quint8 tagExtendedHeader = 0x40;
// Frame format flags, the second flag byte: ID3v2.3 puts compression, encryption and
// a group byte in its top bits; ID3v2.4 adds unsynchronisation and a data length.
constexpr quint8 v23Compressed = 0x80;
constexpr quint8 v23Encrypted = 0x40;
constexpr quint8 v23Grouped = 0x20;
constexpr quint8 v24Grouped = 0x40;
constexpr quint8 v24Compressed = 0x08;
constexpr quint8 v24Encrypted = 0x04;
constexpr quint8 v24Unsynchronised = 0x02;
constexpr quint8 v24DataLength = 0x01;
constexpr qsizetype groupSize = 1;
constexpr qsizetype dataLengthSize = 4;
constexpr qsizetype sizeFieldSize = 4;
// A CHAP body after its element ID: start and end time, start and end offset, four bytes each.
constexpr qsizetype chapterTimesSize = 16;
constexpr qsizetype chapterOffsetsAt = 8;
// A CTOC body after its element ID: flags and entry count, one byte each.
constexpr qsizetype tocHeaderSize = 2;
constexpr qint64 unusedOffset = 0xFFFFFFFF;

// Text encodings.
constexpr char utf16WithBom = 0x01;
constexpr char utf16BigEndian = 0x02;
constexpr char utf8 = 0x03;

const QByteArray chapterId = "CHAP";
const QByteArray tocId = "CTOC";

struct RawFrame
{
    QByteArray id;
    QByteArray body; // as the frame means it: unsynchronisation undone, extra header bytes gone
};

quint8 byteAt(QByteArrayView data, qsizetype at)
{
    return quint8(data[at]);
}

qint64 be32At(QByteArrayView data, qsizetype at)
{
    return (qint64(byteAt(data, at)) << 24) | (qint64(byteAt(data, at + 1)) << 16)
        | (qint64(byteAt(data, at + 2)) << 8) | qint64(byteAt(data, at + 3));
}

// ID3v2.4 frame sizes are syncsafe, but some writers put plain numbers there; a
// byte with its top bit set can only be one of those.
qint64 v24SizeAt(QByteArrayView data, qsizetype at)
{
    const auto byte = [&](qsizetype i) { return qint64(byteAt(data, at + i)); };
    if ((byte(0) | byte(1) | byte(2) | byte(3)) & 0x80)
        return be32At(data, at);
    return (byte(0) << 21) | (byte(1) << 14) | (byte(2) << 7) | byte(3);
}

// Unsynchronisation put a zero after every FF; taking those out gives the data back.
QByteArray resynchronised(QByteArrayView data)
{
    QByteArray out;
    out.reserve(data.size());
    for (qsizetype i = 0; i < data.size(); ++i) {
        out += data[i];
        if (byteAt(data, i) == 0xFF && i + 1 < data.size() && data[i + 1] == '\0')
            ++i;
    }
    return out;
}

bool isFrameId(QByteArrayView id)
{
    for (const char c : id)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

// The frames one after the other, until padding, the end, or one that doesn't fit.
// Compressed and encrypted frames are passed over: their content can't be read here.
QList<RawFrame> readFrames(QByteArrayView data, int major, bool allUnsynchronised)
{
    QList<RawFrame> frames;
    qsizetype at = 0;
    while (data.size() - at >= frameHeaderSize) {
        const QByteArrayView id = data.sliced(at, frameIdSize);
        if (!isFrameId(id))
            break;
        const qint64 size = major == 4 ? v24SizeAt(data, at + frameIdSize) : be32At(data, at + frameIdSize);
        const quint8 format = byteAt(data, at + frameHeaderSize - 1);
        at += frameHeaderSize;
        if (size > data.size() - at)
            break;
        QByteArrayView body = data.sliced(at, size);
        at += size;
        bool unsynchronised = allUnsynchronised;
        qsizetype extra = 0;
        if (major == 3) {
            if (format & (v23Compressed | v23Encrypted))
                continue;
            extra = (format & v23Grouped) ? groupSize : 0;
        } else {
            if (format & (v24Compressed | v24Encrypted))
                continue;
            extra = ((format & v24Grouped) ? groupSize : 0) + ((format & v24DataLength) ? dataLengthSize : 0);
            unsynchronised = unsynchronised || (format & v24Unsynchronised);
        }
        if (extra > body.size())
            continue;
        body = body.sliced(extra);
        frames.append({id.toByteArray(), unsynchronised ? resynchronised(body) : body.toByteArray()});
    }
    return frames;
}

// Where an encoded text ends: its terminator (one zero byte, or two at an even
// distance for UTF-16), or the end of the data. Returns the end and the position after.
std::pair<qsizetype, qsizetype> textEnd(QByteArrayView data, qsizetype from, char encoding)
{
    if (encoding == utf8) {
        const qsizetype end = data.indexOf('\0', from);
        return end < 0 ? std::pair(data.size(), data.size()) : std::pair(end, end + 1);
    }
    for (qsizetype i = from; i + 1 < data.size(); i += 2)
        if (data[i] == '\0' && data[i + 1] == '\0')
            return {i, i + 2};
    return {data.size(), data.size()};
}

QString decoded(QByteArrayView bytes, char encoding)
{
    if (encoding == utf8)
        return QString::fromUtf8(bytes);
    QString text;
    text.reserve(bytes.size() / 2);
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        text += QChar(char16_t((byteAt(bytes, i) << 8) | byteAt(bytes, i + 1)));
    return text;
}

// How a sub-frame's body is laid out around its encoded texts.
enum class Field { Encoding, Language, Latin1, PictureType, Text, LastText, Rest };

std::optional<QList<Field>> layoutOf(QByteArrayView id)
{
    if (id == "TXXX")
        return QList {Field::Encoding, Field::Text, Field::LastText};
    if (id.startsWith("T"))
        return QList {Field::Encoding, Field::LastText};
    if (id == "WXXX")
        return QList {Field::Encoding, Field::Text, Field::Rest};
    if (id == "COMM" || id == "USLT")
        return QList {Field::Encoding, Field::Language, Field::Text, Field::LastText};
    if (id == "APIC")
        return QList {Field::Encoding, Field::Latin1, Field::PictureType, Field::Text, Field::Rest};
    return std::nullopt;
}

// An ID3v2.4 text in UTF-8 or in UTF-16 without a byte-order mark, which ID3v2.3
// doesn't have, becomes UTF-16 with one, as Pelamo writes its own frames. A text
// frame's several values (ID3v2.4 separates them with terminators) are joined by
// "/", the ID3v2.3 way. Anything else is kept byte for byte.
QByteArray asV23Body(const RawFrame& sub)
{
    const QByteArrayView body = sub.body;
    const auto layout = layoutOf(sub.id);
    if (!layout || body.isEmpty() || (body[0] != utf8 && body[0] != utf16BigEndian))
        return sub.body;
    const char encoding = body[0];
    QByteArray out;
    qsizetype at = 0;
    // The next `size` bytes, as far as the body goes.
    const auto take = [&](qsizetype size) {
        const qsizetype from = qMin(at, body.size());
        at = qMin(from + size, body.size());
        return body.sliced(from, at - from);
    };
    for (const Field field : *layout) {
        switch (field) {
        case Field::Encoding:
            take(1);
            out += utf16WithBom;
            break;
        case Field::Language:
            out += take(3);
            break;
        case Field::PictureType:
            out += take(1);
            break;
        case Field::Latin1: {
            const qsizetype end = body.indexOf('\0', at);
            out += take(end < 0 ? body.size() : end + 1 - at);
            break;
        }
        case Field::Text: {
            const auto [end, next] = textEnd(body, at, encoding);
            out += utf16(decoded(take(end - at), encoding));
            out += QByteArrayView("\0\0", 2);
            at = next;
            break;
        }
        case Field::LastText: {
            QStringList values = decoded(take(body.size()), encoding).split(QChar(u'\0'));
            while (!values.isEmpty() && values.constLast().isEmpty())
                values.removeLast();
            out += utf16(values.join(u'/'));
            break;
        }
        case Field::Rest:
            out += take(body.size());
            break;
        }
    }
    return out;
}

// A CHAP or CTOC body: the element ID and what follows it as they are, then every
// sub-frame again as an ID3v2.3 frame.
std::optional<KeptFrame> kept(const RawFrame& raw, int major)
{
    const QByteArrayView body = raw.body;
    const qsizetype idEnd = body.indexOf('\0');
    if (idEnd < 0)
        return std::nullopt;
    qsizetype at = idEnd + 1;
    if (raw.id == chapterId) {
        if (body.size() - at < chapterTimesSize)
            return std::nullopt;
        at += chapterTimesSize;
    } else {
        if (body.size() - at < tocHeaderSize)
            return std::nullopt;
        const int entries = byteAt(body, at + 1);
        at += tocHeaderSize;
        for (int i = 0; i < entries; ++i) {
            const qsizetype end = body.indexOf('\0', at);
            if (end < 0)
                return std::nullopt;
            at = end + 1;
        }
    }
    QByteArray out = body.first(at).toByteArray();
    for (const RawFrame& sub : readFrames(body.sliced(at), major, false))
        out += frame(QLatin1StringView(sub.id), major == 4 ? asV23Body(sub) : sub.body);
    return KeptFrame {raw.id, out};
}

void chapterFramesOfTag(QByteArrayView tag, QList<KeptFrame>& out)
{
    const int major = byteAt(tag, 3);
    if (major != 3 && major != 4)
        return;
    const quint8 flags = byteAt(tag, headerFlagsOffset);
    const qint64 size = id3v2TagLength(tag) - headerSize - ((flags & footerFlag) ? footerSize : 0);
    QByteArrayView frames = tag.sliced(headerSize, qMin<qint64>(size, tag.size() - headerSize));
    // ID3v2.3 unsynchronises the whole tag; ID3v2.4 says so frame by frame, or for all of them here.
    QByteArray whole;
    if (major == 3 && (flags & tagUnsynchronised)) {
        whole = resynchronised(frames);
        frames = whole;
    }
    if (flags & tagExtendedHeader) {
        if (frames.size() < sizeFieldSize)
            return;
        const qint64 extended = major == 3 ? sizeFieldSize + be32At(frames, 0) : v24SizeAt(frames, 0);
        if (extended > frames.size())
            return;
        frames = frames.sliced(extended);
    }
    for (const RawFrame& raw : readFrames(frames, major, major == 4 && (flags & tagUnsynchronised)))
        if (raw.id == chapterId || raw.id == tocId)
            if (const auto frame = kept(raw, major))
                out.append(*frame);
}

} // namespace

QList<KeptFrame> chapterFrames(QByteArrayView head)
{
    QList<KeptFrame> out;
    while (head.size() >= headerSize && head.startsWith("ID3")) {
        const qint64 length = qMin<qint64>(id3v2TagLength(head), head.size());
        chapterFramesOfTag(head.first(length), out);
        head = head.sliced(length);
    }
    return out;
}

QByteArray keptFrames(const QList<KeptFrame>& frames, qint64 shift)
{
    QByteArray out;
    for (const KeptFrame& kept : frames) {
        QByteArray body = kept.body;
        if (kept.id == chapterId) {
            const qsizetype offsets = body.indexOf('\0') + 1 + chapterOffsetsAt;
            for (const qsizetype at : {offsets, offsets + 4}) {
                const qint64 offset = be32At(body, at);
                if (offset == unusedOffset)
                    continue;
                const qint64 moved = offset + shift;
                body.replace(at, 4, be32(moved >= 0 && moved < unusedOffset ? moved : unusedOffset));
            }
        }
        out += frame(QLatin1StringView(kept.id), body);
    }
    return out;
}

qint64 keptSize(const QList<KeptFrame>& frames)
{
    qint64 size = 0;
    for (const KeptFrame& kept : frames)
        size += frameHeaderSize + kept.body.size();
    return size;
}

QStringList keptNames(const QList<KeptFrame>& frames)
{
    QList<std::pair<QByteArray, int>> counts;
    for (const KeptFrame& kept : frames) {
        auto found
            = std::find_if(counts.begin(), counts.end(), [&](const auto& c) { return c.first == kept.id; });
        if (found == counts.end())
            counts.append({kept.id, 1});
        else
            ++found->second;
    }
    QStringList names;
    for (const auto& [id, count] : counts)
        names.append(count == 1 ? QString::fromLatin1(id)
                                : QString::fromLatin1(id) + u'\u00d7' + QString::number(count));
    return names;
}

} // namespace ID3
