#include "id3/OldFrames.h"

#include "id3/ID3.h"
#include "id3/Picture.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

namespace ID3 {
namespace {

using namespace Qt::Literals::StringLiterals;

// Tag header flags.
constexpr quint8 tagUnsynchronised = 0x80;
constexpr quint8 tagExtendedHeader = 0x40;
constexpr quint8 v22Compressed = 0x40;
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
// An ID3v2.2 frame header: a three-character ID and a three-byte size, no flags.
constexpr qsizetype v22IdSize = 3;
constexpr qsizetype v22HeaderSize = 6;
// A CHAP body after its element ID: start and end time, start and end offset, four bytes each.
constexpr qsizetype chapterTimesSize = 16;
// A CTOC body after its element ID: flags and entry count, one byte each.
constexpr qsizetype tocHeaderSize = 2;
// SYLT's time stamp format and content type, one byte each, after its language.
constexpr qsizetype syncedKindsSize = 2;
constexpr qsizetype timeStampSize = 4;

// Text encodings.
constexpr char latin1Text = 0x00;
constexpr char utf16WithBom = 0x01;
constexpr char utf16BigEndian = 0x02;
constexpr char utf8 = 0x03;

// The ID3v2.2 frames that have an ID3v2.3 counterpart with the same body, by the
// later name. Any other keeps its three-character ID.
constexpr std::array<std::pair<const char*, const char*>, 25> v22Names {{
    {"TT1", "TIT1"},
    {"TT2", "TIT2"},
    {"TT3", "TIT3"},
    {"TP1", "TPE1"},
    {"TP2", "TPE2"},
    {"TP3", "TPE3"},
    {"TAL", "TALB"},
    {"TRK", "TRCK"},
    {"TPA", "TPOS"},
    {"TYE", "TYER"},
    {"TCO", "TCON"},
    {"TCM", "TCOM"},
    {"TEN", "TENC"},
    {"TSS", "TSSE"},
    {"TCR", "TCOP"},
    {"TRC", "TSRC"},
    {"TBP", "TBPM"},
    {"TKE", "TKEY"},
    {"TXX", "TXXX"},
    {"COM", "COMM"},
    {"ULT", "USLT"},
    {"SLT", "SYLT"},
    {"UFI", "UFID"},
    {"POP", "POPM"},
    {"CNT", "PCNT"},
}};

quint8 byteAt(QByteArrayView data, qsizetype at)
{
    return quint8(data[at]);
}

qint64 be32At(QByteArrayView data, qsizetype at)
{
    return (qint64(byteAt(data, at)) << 24) | (qint64(byteAt(data, at + 1)) << 16)
        | (qint64(byteAt(data, at + 2)) << 8) | qint64(byteAt(data, at + 3));
}

qint64 be24At(QByteArrayView data, qsizetype at)
{
    return (qint64(byteAt(data, at)) << 16) | (qint64(byteAt(data, at + 1)) << 8)
        | qint64(byteAt(data, at + 2));
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

// How far the frames of an ID3v2.4 tag read with one kind of size: the frames
// read, and whether the last ends where the frames do (at the end or in padding).
struct SizeReading
{
    int frames = 0;
    bool lands = false;
};
SizeReading readSizes(QByteArrayView data, bool plain)
{
    SizeReading reading;
    qsizetype at = 0;
    while (data.size() - at >= frameHeaderSize && isFrameId(data.sliced(at, frameIdSize))) {
        const qint64 size = plain ? be32At(data, at + frameIdSize) : v24SizeAt(data, at + frameIdSize);
        if (size > data.size() - at - frameHeaderSize)
            return reading;
        at += frameHeaderSize + size;
        ++reading.frames;
    }
    reading.lands = at == data.size() || data[at] == '\0';
    return reading;
}

// Some writers put plain numbers in ID3v2.4 frame sizes. Both readings are tried;
// the plain one is taken when it reads more frames, or as many and lands where
// the syncsafe one doesn't. Sizes under 128 read the same either way.
bool plainSizes(QByteArrayView data)
{
    const SizeReading syncsafe = readSizes(data, false);
    const SizeReading plain = readSizes(data, true);
    return plain.frames > syncsafe.frames
        || (plain.frames == syncsafe.frames && plain.lands && !syncsafe.lands);
}

// The frames one after the other, until padding, the end, or one that doesn't fit.
// Compressed and encrypted frames are passed over: their content can't be read
// here. ID3v2.2 frames come under their ID3v2.3 names, or not at all.
QList<KeptFrame> readFrames(QByteArrayView data, int major, bool allUnsynchronised)
{
    QList<KeptFrame> frames;
    const qsizetype headerLength = major == 2 ? v22HeaderSize : frameHeaderSize;
    const bool plain = major == 4 && plainSizes(data);
    qsizetype at = 0;
    while (data.size() - at >= headerLength) {
        const QByteArrayView id = data.sliced(at, major == 2 ? v22IdSize : frameIdSize);
        if (!isFrameId(id))
            break;
        const qint64 size = major == 2 ? be24At(data, at + v22IdSize)
            : major == 4 && !plain     ? v24SizeAt(data, at + frameIdSize)
                                       : be32At(data, at + frameIdSize);
        const quint8 format = major == 2 ? 0 : byteAt(data, at + frameHeaderSize - 1);
        at += headerLength;
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
        } else if (major == 4) {
            if (format & (v24Compressed | v24Encrypted))
                continue;
            extra = ((format & v24Grouped) ? groupSize : 0) + ((format & v24DataLength) ? dataLengthSize : 0);
            unsynchronised = unsynchronised || (format & v24Unsynchronised);
        }
        if (extra > body.size())
            continue;
        body = body.sliced(extra);
        QByteArray name = id.toByteArray();
        if (major == 2) {
            const auto known = std::find_if(v22Names.cbegin(), v22Names.cend(),
                [&](const auto& names) { return id == QByteArrayView(names.first); });
            if (known != v22Names.cend())
                name = known->second;
        }
        frames.append({name, unsynchronised ? resynchronised(body) : body.toByteArray()});
    }
    return frames;
}

// Where an encoded text ends: its terminator (one zero byte, or two at an even
// distance for UTF-16), or the end of the data. Returns the end and the position after.
std::pair<qsizetype, qsizetype> textEnd(QByteArrayView data, qsizetype from, char encoding)
{
    if (encoding == latin1Text || encoding == utf8) {
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
    if (encoding != utf16WithBom && encoding != utf16BigEndian)
        return QString::fromLatin1(bytes);
    bool littleEndian = false;
    if (encoding == utf16WithBom && bytes.size() >= 2 && byteAt(bytes, 0) == 0xFF
        && byteAt(bytes, 1) == 0xFE) {
        littleEndian = true;
        bytes = bytes.sliced(2);
    } else if (encoding == utf16WithBom && bytes.size() >= 2 && byteAt(bytes, 0) == 0xFE
        && byteAt(bytes, 1) == 0xFF) {
        bytes = bytes.sliced(2);
    }
    QString text;
    text.reserve(bytes.size() / 2);
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const auto [high, low] = littleEndian ? std::pair(i + 1, i) : std::pair(i, i + 1);
        text += QChar(char16_t((byteAt(bytes, high) << 8) | byteAt(bytes, low)));
    }
    return text;
}

// How a frame's body is laid out around its encoded texts.
enum class Field { Encoding, Language, Latin1, OneByte, SyncedKinds, Text, LastText, SyncedTexts, Rest };

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
    if (id == "SYLT")
        return QList {Field::Encoding, Field::Language, Field::SyncedKinds, Field::Text, Field::SyncedTexts};
    if (id == "APIC")
        return QList {Field::Encoding, Field::Latin1, Field::OneByte, Field::Text, Field::Rest};
    return std::nullopt;
}

// Walks a body by its layout, handing each text to `text` and the bytes between
// them to `bytes`; a field the body ends in gets what there is.
template <typename OnText, typename OnBytes>
void walk(QByteArrayView body, const QList<Field>& layout, OnText&& text, OnBytes&& bytes)
{
    const char encoding = body.isEmpty() ? latin1Text : body[0];
    qsizetype at = 0;
    const auto take = [&](qsizetype size) {
        const qsizetype from = qMin(at, body.size());
        at = qMin(from + size, body.size());
        return body.sliced(from, at - from);
    };
    const auto takeText = [&] {
        const auto [end, next] = textEnd(body, at, encoding);
        text(Field::Text, take(end - at), encoding);
        at = next;
    };
    for (const Field field : layout) {
        switch (field) {
        case Field::Encoding:
            bytes(field, take(1));
            break;
        case Field::Language:
            bytes(field, take(3));
            break;
        case Field::OneByte:
            bytes(field, take(1));
            break;
        case Field::SyncedKinds:
            bytes(field, take(syncedKindsSize));
            break;
        case Field::Latin1: {
            const qsizetype end = body.indexOf('\0', at);
            bytes(field, take(end < 0 ? body.size() : end + 1 - at));
            break;
        }
        case Field::Text:
            takeText();
            break;
        case Field::LastText:
            text(field, take(body.size()), encoding);
            break;
        case Field::SyncedTexts:
            // Each line of the lyrics, then the time it is sung at.
            while (at < body.size()) {
                takeText();
                bytes(field, take(timeStampSize));
            }
            break;
        case Field::Rest:
            bytes(field, take(body.size()));
            break;
        }
    }
}

// An ID3v2.4 text in UTF-8 or in UTF-16 without a byte-order mark, which ID3v2.3
// doesn't have, becomes UTF-16 with one, as Pelamo writes its own frames. A text
// frame's several values (ID3v2.4 separates them with terminators) are joined by
// "/", the ID3v2.3 way. Anything else is kept byte for byte.
QByteArray asV23Body(const KeptFrame& frame)
{
    const QByteArrayView body = frame.body;
    const auto layout = layoutOf(frame.id);
    if (!layout || body.isEmpty() || (body[0] != utf8 && body[0] != utf16BigEndian))
        return frame.body;
    QByteArray out;
    walk(
        body, *layout,
        [&](Field field, QByteArrayView text, char encoding) {
            if (field == Field::Text) {
                out += utf16(decoded(text, encoding));
                out += QByteArrayView("\0\0", 2);
                return;
            }
            QStringList values = decoded(text, encoding).split(QChar(u'\0'));
            while (!values.isEmpty() && values.constLast().isEmpty())
                values.removeLast();
            out += utf16(values.join(u'/'));
        },
        [&](Field field, QByteArrayView bytes) {
            out += field == Field::Encoding ? QByteArrayView(&utf16WithBom, 1) : bytes;
        });
    return out;
}

// The frames ID3v2.4 brought that ID3v2.3 doesn't have.
constexpr std::array<QByteArrayView, 18> v24Only {"ASPI", "EQU2", "RVA2", "SEEK", "SIGN", "TDEN", "TDOR",
    "TDRC", "TDRL", "TDTG", "TIPL", "TMCL", "TMOO", "TPRO", "TSOA", "TSOP", "TSOT", "TSST"};

// A sub-frame of a chapter as ID3v2.3 has it: a recording or release date
// becomes ID3v2.3's year and date frames, any other frame ID3v2.3 lacks is left out.
QByteArray v23SubFrame(const KeptFrame& sub)
{
    if (sub.id == "TDRC") {
        QByteArray out;
        for (const auto& [id, text] : yearFrames(textOf(sub)))
            out += textFrame(id, text);
        return out;
    }
    if (sub.id == "TDOR") {
        const auto frames = yearFrames(textOf(sub));
        return frames.isEmpty() ? QByteArray() : textFrame("TORY"_L1, frames.first().second);
    }
    if (std::find(v24Only.cbegin(), v24Only.cend(), sub.id) != v24Only.cend())
        return {};
    return frame(QLatin1StringView(sub.id), sub.body);
}

// A CHAP or CTOC body with every sub-frame again as an ID3v2.3 frame.
std::optional<QByteArray> containerBody(const KeptFrame& raw, int major)
{
    auto container = containerOf(raw);
    if (!container)
        return std::nullopt;
    QByteArray subFrames;
    for (const KeptFrame& sub : readFrames(container->subFrames, major, false))
        subFrames += v23SubFrame({sub.id, major == 4 ? asV23Body(sub) : sub.body});
    container->subFrames = std::move(subFrames);
    return bodyOf(raw.id, *container);
}

void framesOfTag(QByteArrayView tag, QList<KeptFrame>& out)
{
    const int major = byteAt(tag, 3);
    if (major < 2 || major > 4 || tag.size() < headerSize)
        return;
    const quint8 flags = byteAt(tag, headerFlagsOffset);
    if (major == 2 && (flags & v22Compressed))
        return;
    const qint64 size = id3v2TagLength(tag) - headerSize - ((flags & footerFlag) ? footerSize : 0);
    QByteArrayView frames = tag.sliced(headerSize, qBound<qint64>(0, size, tag.size() - headerSize));
    // ID3v2.2 and 2.3 unsynchronise the whole tag; ID3v2.4 says so frame by
    // frame, or for all of them here.
    QByteArray whole;
    if (major < 4 && (flags & tagUnsynchronised)) {
        whole = resynchronised(frames);
        frames = whole;
    }
    if (major > 2 && (flags & tagExtendedHeader)) {
        if (frames.size() < sizeFieldSize)
            return;
        const qint64 extended = major == 3 ? sizeFieldSize + be32At(frames, 0) : v24SizeAt(frames, 0);
        if (extended > frames.size())
            return;
        frames = frames.sliced(extended);
    }
    for (KeptFrame& raw : readFrames(frames, major, major == 4 && (flags & tagUnsynchronised))) {
        if (raw.id == "CHAP" || raw.id == "CTOC") {
            if (auto body = containerBody(raw, major))
                out.append({raw.id, std::move(*body)});
        } else {
            out.append({raw.id, major == 4 ? asV23Body(raw) : std::move(raw.body)});
        }
    }
}

} // namespace

QList<OldTag> oldTags(QByteArrayView head)
{
    QList<OldTag> tags;
    while (head.size() >= headerSize && head.startsWith("ID3")) {
        const qint64 length = qMin<qint64>(id3v2TagLength(head), head.size());
        OldTag tag {byteAt(head, 3), byteAt(head, 4), length, {}};
        framesOfTag(head.first(length), tag.frames);
        tags.append(std::move(tag));
        head = head.sliced(length);
    }
    return tags;
}

QList<KeptFrame> oldFrames(QByteArrayView head)
{
    QList<KeptFrame> out;
    for (OldTag& tag : oldTags(head))
        out += std::move(tag.frames);
    return out;
}

QString textOf(const KeptFrame& frame)
{
    if (!frame.id.startsWith('T') || frame.id == "TXXX" || frame.body.isEmpty())
        return {};
    QStringList values = decoded(QByteArrayView(frame.body).sliced(1), frame.body[0]).split(QChar(u'\0'));
    while (!values.isEmpty() && values.constLast().isEmpty())
        values.removeLast();
    return values.join(u'/');
}

QByteArray identityOf(const KeptFrame& frame)
{
    QByteArray identity = frame.id;
    const auto layout = layoutOf(frame.id);
    if (const auto container = containerOf(frame)) {
        identity += '\0' + container->element;
    } else if (frame.id == "UFID" || frame.id == "POPM" || frame.id == "RVA2") {
        // The owner, the e-mail address or the identification, in ISO-8859-1.
        identity += '\0' + frame.body.left(frame.body.indexOf('\0'));
    } else if (layout
        && (frame.id == "TXXX" || frame.id == "USLT" || frame.id == "SYLT" || frame.id == "COMM")) {
        // The description and, where there is one, the language, whatever the text's encoding.
        bool described = false;
        walk(
            frame.body, *layout,
            [&](Field field, QByteArrayView text, char encoding) {
                if (field == Field::Text && !described) {
                    identity += '\0' + decoded(text, encoding).toUtf8();
                    described = true;
                }
            },
            [&](Field field, QByteArrayView bytes) {
                if (field == Field::Language)
                    identity += '\0' + bytes.toByteArray();
            });
    }
    return identity;
}

std::optional<Container> containerOf(const KeptFrame& frame)
{
    const QByteArrayView body = frame.body;
    const qsizetype idEnd = body.indexOf('\0');
    if (idEnd < 0 || (frame.id != "CHAP" && frame.id != "CTOC"))
        return std::nullopt;
    Container container;
    container.element = body.first(idEnd).toByteArray();
    qsizetype at = idEnd + 1;
    if (frame.id == "CHAP") {
        if (body.size() - at < chapterTimesSize)
            return std::nullopt;
        container.times = body.sliced(at, chapterTimesSize).toByteArray();
        at += chapterTimesSize;
    } else {
        if (body.size() - at < tocHeaderSize)
            return std::nullopt;
        container.flags = byteAt(body, at);
        const int entries = byteAt(body, at + 1);
        at += tocHeaderSize;
        for (int i = 0; i < entries; ++i) {
            const qsizetype end = body.indexOf('\0', at);
            if (end < 0)
                return std::nullopt;
            container.children.append(body.sliced(at, end - at).toByteArray());
            at = end + 1;
        }
    }
    container.subFrames = body.sliced(at).toByteArray();
    return container;
}

QByteArray bodyOf(QByteArrayView id, const Container& container)
{
    QByteArray body = container.element + '\0';
    if (id == "CHAP") {
        body += container.times;
    } else {
        body += char(container.flags);
        body += char(container.children.size());
        for (const QByteArray& child : container.children)
            body += child + '\0';
    }
    return body + container.subFrames;
}

QList<KeptFrame> subFramesOf(const Container& container)
{
    return readFrames(container.subFrames, 3, false);
}

namespace {

// ID3v2's picture types, by their byte.
constexpr std::array<const char*, 21> pictureTypes {"other", "file icon", "other file icon", "front cover",
    "back cover", "leaflet page", "media", "lead artist", "artist", "conductor", "band", "composer",
    "lyricist", "recording location", "during recording", "during performance", "screen capture",
    "a bright coloured fish", "illustration", "band logotype", "publisher logotype"};

QString latin1Until(QByteArrayView body, qsizetype& at)
{
    const qsizetype end = body.indexOf('\0', at);
    const qsizetype stop = end < 0 ? body.size() : end;
    const QString text = QString::fromLatin1(body.sliced(at, stop - at));
    at = end < 0 ? body.size() : end + 1;
    return text;
}

} // namespace

QList<std::pair<QString, QString>> fieldsOf(const KeptFrame& frame)
{
    const QByteArrayView body = frame.body;
    const QByteArray& id = frame.id;
    if (id.startsWith('T') && id != "TXXX")
        return {{u"text"_s, textOf(frame)}};
    QList<std::pair<QString, QString>> fields;
    if (const auto layout = layoutOf(id); layout && !body.isEmpty()) {
        QStringList texts;
        QByteArrayView rest;
        walk(
            body, *layout,
            [&](Field, QByteArrayView text, char encoding) {
                // A last text may carry its terminator, or several values ended by them.
                QStringList values = decoded(text, encoding).split(QChar(u'\0'));
                while (values.size() > 1 && values.constLast().isEmpty())
                    values.removeLast();
                texts.append(values.join(u'/'));
            },
            [&](Field field, QByteArrayView bytes) {
                if (field == Field::Language)
                    fields.append({u"language"_s, QString::fromLatin1(bytes)});
                else if (field == Field::Latin1)
                    fields.append({u"mime"_s, QString::fromLatin1(bytes).remove(QChar(u'\0'))});
                else if (field == Field::OneByte && !bytes.isEmpty()) {
                    const std::size_t type = byteAt(bytes, 0);
                    fields.append({u"pictureType"_s,
                        QString::fromLatin1(type < pictureTypes.size() ? pictureTypes.at(type) : "other")});
                } else if (field == Field::Rest)
                    rest = bytes;
            });
        if (!texts.isEmpty())
            fields.append({u"description"_s, texts.takeFirst()});
        if (id == "SYLT")
            fields.append({u"text"_s, texts.join(u" / "_s)});
        else if (id == "WXXX")
            fields.append({u"url"_s, QString::fromLatin1(rest)});
        else if (id == "APIC") {
            fields.append({u"pixels"_s, pictureOf(rest).pixelText()});
            fields.append({u"bytes"_s, QString::number(rest.size())});
        } else if (!texts.isEmpty())
            fields.append({u"text"_s, texts.join(u'/')});
        return fields;
    }
    qsizetype at = 0;
    if (id.startsWith('W')) {
        // A link; a link frame that starts with an encoding byte, as WFED does, has it left out.
        return {{u"url"_s, QString::fromLatin1(body.startsWith('\0') ? body.sliced(1) : body)}};
    }
    if (id == "UFID" || id == "POPM") {
        fields.append({id == "UFID" ? u"owner"_s : u"email"_s, latin1Until(body, at)});
        const QByteArrayView data = body.sliced(at);
        if (id == "UFID")
            fields.append({u"identifier"_s, QString::fromLatin1(data)});
        else if (!data.isEmpty()) {
            fields.append({u"rating"_s, QString::number(byteAt(data, 0))});
            qint64 count = 0;
            for (qsizetype i = 1; i < data.size(); ++i)
                count = (count << 8) | byteAt(data, i);
            fields.append({u"count"_s, QString::number(count)});
        }
    } else if (id == "PCNT") {
        qint64 count = 0;
        for (qsizetype i = 0; i < body.size(); ++i)
            count = (count << 8) | byteAt(body, i);
        fields.append({u"count"_s, QString::number(count)});
    } else if (id == "RVA2") {
        fields.append({u"identification"_s, latin1Until(body, at)});
    } else if (const auto container = containerOf(frame)) {
        fields.append({u"element"_s, QString::fromLatin1(container->element)});
        if (id == "CHAP") {
            fields.append({u"start"_s, QString::number(be32At(container->times, 0))});
            fields.append({u"end"_s, QString::number(be32At(container->times, 4))});
            for (const KeptFrame& sub : subFramesOf(*container))
                if (sub.id == "TIT2")
                    fields.append({u"title"_s, textOf(sub)});
        } else {
            QStringList children;
            for (const QByteArray& child : container->children)
                children.append(QString::fromLatin1(child));
            fields.append({u"children"_s, children.join(u' ')});
            fields.append({u"topLevel"_s, (container->flags & Container::topLevel) ? u"yes"_s : u"no"_s});
            fields.append({u"ordered"_s, (container->flags & Container::ordered) ? u"yes"_s : u"no"_s});
        }
    }
    return fields;
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
