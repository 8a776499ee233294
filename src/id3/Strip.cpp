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
constexpr qsizetype apeSizeFieldSize = 4;

quint8 byteAt(QByteArrayView data, qsizetype index)
{
    return quint8(data[index]);
}

// The rules below look only at a few bytes at either end of what is left, asked
// for one field at a time; a read past the end gives fewer bytes, and no match.
struct Cut
{
    const ByteReader& read;
    Range rest;

    bool magicAt(qint64 offset, QByteArrayView magic) const { return read(offset, magic.size()) == magic; }

    void leadingId3v2()
    {
        while (rest.size() >= headerSize && magicAt(rest.begin, id3v2Magic))
            rest.begin += qMin<qint64>(id3v2TagLength(read(rest.begin, headerSize)), rest.size());
    }

    void trailingId3v1()
    {
        if (rest.size() >= v1Size && magicAt(rest.end - v1Size, id3v1Magic))
            rest.end -= v1Size;
    }

    bool apeMagicBefore(qint64 fromEnd) const
    {
        return rest.size() >= fromEnd && magicAt(rest.end - fromEnd, apeMagic);
    }

    void trailingApe()
    {
        if (!apeMagicBefore(apeFooterSize))
            return;
        const QByteArray sizeField = read(rest.end - apeFooterSize + apeSizeOffset, apeSizeFieldSize);
        if (sizeField.size() < apeSizeFieldSize)
            return;
        // Items plus footer; the header, when there is one, comes on top.
        const qint64 size = qint64(byteAt(sizeField, 0)) | (qint64(byteAt(sizeField, 1)) << 8)
            | (qint64(byteAt(sizeField, 2)) << 16) | (qint64(byteAt(sizeField, 3)) << 24);
        if (apeMagicBefore(size + apeFooterSize))
            rest.end -= size + apeFooterSize;
        else if (rest.size() >= size)
            rest.end -= size;
    }
};

} // namespace

Range audioRange(qint64 size, const ByteReader& read)
{
    Cut cut {read, {0, size}};
    cut.leadingId3v2();
    cut.trailingId3v1();
    cut.trailingApe();
    return cut.rest;
}

QByteArrayView stripTags(QByteArrayView data)
{
    const Range audio = audioRange(data.size(), [data](qint64 offset, qint64 length) {
        if (offset < 0 || offset >= data.size())
            return QByteArray();
        return data.sliced(offset, qMin(length, data.size() - offset)).toByteArray();
    });
    return data.sliced(audio.begin, audio.size());
}

bool looksLikeMP3(QByteArrayView data)
{
    return data.size() >= mpegMinimumSize && quint8(data[0]) == 0xFF && quint8(data[1]) >= 0xE0;
}

} // namespace ID3
