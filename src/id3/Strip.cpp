#include "id3/ID3.h"

namespace ID3 {

// Every size byte is used whole, top bit included, and overlapping bits combine
// by OR: writers that forgot the syncsafe rule still get their tag cut where
// the same reading puts it for the file Pelamo writes back.
qint64 id3v2TagLength(QByteArrayView header)
{
    const auto byte = [header](qsizetype index) { return qint64(quint8(header[index])); };
    const qint64 size = (byte(headerSizeOffset) << 21) | (byte(headerSizeOffset + 1) << 14)
        | (byte(headerSizeOffset + 2) << 7) | byte(headerSizeOffset + 3);
    const qint64 footer = (header[headerFlagsOffset] & footerFlag) ? footerSize : 0;
    return headerSize + size + footer;
}

namespace {

constexpr QByteArrayView id3v2Magic("ID3");
constexpr QByteArrayView id3v1Magic("TAG");
constexpr QByteArrayView apeMagic("APETAGEX");

quint8 byteAt(QByteArrayView data, qsizetype index)
{
    return quint8(data[index]);
}

QByteArrayView withoutLeadingId3v2(QByteArrayView rest)
{
    while (rest.size() >= headerSize && rest.startsWith(id3v2Magic))
        rest = rest.sliced(qMin<qint64>(id3v2TagLength(rest), rest.size()));
    return rest;
}

QByteArrayView withoutTrailingId3v1(QByteArrayView rest)
{
    if (rest.size() >= v1Size && rest.sliced(rest.size() - v1Size).startsWith(id3v1Magic))
        rest.chop(v1Size);
    return rest;
}

bool apeMagicAt(QByteArrayView rest, qint64 fromEnd)
{
    return rest.size() >= fromEnd && rest.sliced(rest.size() - fromEnd).startsWith(apeMagic);
}

QByteArrayView withoutTrailingApe(QByteArrayView rest)
{
    if (!apeMagicAt(rest, apeFooterSize))
        return rest;
    const QByteArrayView sizeField = rest.sliced(rest.size() - apeFooterSize + apeSizeOffset, 4);
    // Items plus footer; the header, when there is one, comes on top.
    const qint64 size = qint64(byteAt(sizeField, 0)) | (qint64(byteAt(sizeField, 1)) << 8)
        | (qint64(byteAt(sizeField, 2)) << 16) | (qint64(byteAt(sizeField, 3)) << 24);
    if (apeMagicAt(rest, size + apeFooterSize))
        rest.chop(size + apeFooterSize);
    else if (rest.size() >= size)
        rest.chop(size);
    return rest;
}

} // namespace

QByteArrayView stripTags(QByteArrayView data)
{
    return withoutTrailingApe(withoutTrailingId3v1(withoutLeadingId3v2(data)));
}

bool looksLikeMP3(QByteArrayView data)
{
    return data.size() >= mpegMinimumSize && byteAt(data, 0) == 0xFF && byteAt(data, 1) >= 0xE0;
}

} // namespace ID3
