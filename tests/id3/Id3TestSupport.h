#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDir>
#include <QStringList>

#include <initializer_list>

// Test bytes are built field by field with these, the same way the engine
// builds them, so that a row reads like the layout it checks.
inline QByteArray bytes(std::initializer_list<QByteArrayView> parts)
{
    QByteArray out;
    for (const QByteArrayView part : parts)
        out += part;
    return out;
}

inline QByteArray zeros(qsizetype count)
{
    return QByteArray(count, '\0');
}

inline QByteArray hex(const char* digits)
{
    return QByteArray::fromHex(digits);
}

// Something that starts like MPEG audio (frame sync, layer III, 128 kbit/s)
// followed by a recognisable pattern, so a cut in the wrong place shows.
inline QByteArray fakeAudio(qsizetype size)
{
    QByteArray out = hex("fffb9064");
    out.reserve(size);
    for (qsizetype i = out.size(); i < size; ++i)
        out += char((i * 7 + 3) & 0xFF);
    return out.left(size);
}

// A plain ID3v2 tag of the given total size with whatever version byte.
inline QByteArray id3v2Tag(qsizetype totalSize, char version = 3)
{
    const qsizetype body = totalSize - 10;
    QByteArray out = bytes({"ID3", QByteArray(1, version), hex("0000")});
    for (int shift = 21; shift >= 0; shift -= 7)
        out += char((body >> shift) & 0x7F);
    out += QByteArray(body, 'x');
    return out;
}

inline QByteArray id3v1Tag(char fill = 'v')
{
    return bytes({"TAG", QByteArray(125, fill)});
}

inline QByteArray littleEndian32(quint32 value)
{
    QByteArray out;
    for (int i = 0; i < 4; ++i)
        out += char((value >> (8 * i)) & 0xFF);
    return out;
}

// An APEv2 footer (or header): magic, version, size, item count, flags, reserved.
inline QByteArray apeBlock(quint32 size)
{
    return bytes({"APETAGEX", littleEndian32(2000), littleEndian32(size), littleEndian32(1),
        littleEndian32(0), zeros(8)});
}

// An APE tag with header, one item and footer; the size field counts items and footer.
inline QByteArray apeTag()
{
    const QByteArray items
        = bytes({littleEndian32(5), littleEndian32(0), "Title", QByteArray(1, '\0'), "hello"});
    return bytes({apeBlock(quint32(items.size() + 32)), items, apeBlock(quint32(items.size() + 32))});
}

// Temporary files the engine may have left in a folder.
inline QStringList leftovers(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("*.tagging-*")}, QDir::Files | QDir::Hidden | QDir::System);
}
