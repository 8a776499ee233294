#pragma once

#include "id3/ID3.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDir>
#include <QStringList>
#include <QtEndian>

#include <initializer_list>

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

// Bytes as hexadecimal pairs, for comparisons that show where they differ.
inline QString hexText(QByteArrayView data)
{
    return QString::fromLatin1(data.toByteArray().toHex(' '));
}

// MPEG frame sync (layer III, 128 kbit/s), then a pattern that shows a cut in the wrong place.
inline QByteArray fakeAudio(qsizetype size)
{
    QByteArray out = hex("fffb9064");
    out.reserve(size);
    for (qsizetype i = out.size(); i < size; ++i)
        out += char((i * 7 + 3) & 0xFF);
    return out.left(size);
}

// An ID3v2 header (no flags) for a tag of `body` bytes after it.
inline QByteArray id3v2Header(qsizetype body, char version = 3)
{
    QByteArray out = bytes({"ID3", QByteArray(1, version), hex("0000")});
    for (int shift = 21; shift >= 0; shift -= 7)
        out += char((body >> shift) & 0x7F);
    return out;
}

inline QByteArray id3v2Tag(qsizetype totalSize, char version = 3)
{
    return id3v2Header(totalSize - 10, version) + QByteArray(totalSize - 10, 'x');
}

inline QByteArray id3v1Tag(char fill = 'v')
{
    return bytes({"TAG", QByteArray(125, fill)});
}

inline QByteArray littleEndian32(quint32 value)
{
    const quint32 little = qToLittleEndian(value);
    return QByteArray(reinterpret_cast<const char*>(&little), 4);
}

// An APEv2 footer or header.
inline QByteArray apeBlock(quint32 size)
{
    return bytes({"APETAGEX", littleEndian32(2000), littleEndian32(size), littleEndian32(1),
        littleEndian32(0), zeros(8)});
}

// Header, one item and footer; the size field counts items and footer.
inline QByteArray apeTag()
{
    const QByteArray items
        = bytes({littleEndian32(5), littleEndian32(0), "Title", QByteArray(1, '\0'), "hello"});
    return bytes({apeBlock(quint32(items.size() + 32)), items, apeBlock(quint32(items.size() + 32))});
}

// A value in every field, the title and text beyond Latin-1.
inline ID3::Tags everyField()
{
    using namespace Qt::Literals::StringLiterals;
    ID3::Tags tags;
    tags.title = u"Épisode 12 — naïve 😀"_s;
    tags.artist = u"Host"_s;
    tags.albumArtist = u"Network"_s;
    tags.album = u"The Show"_s;
    tags.genre = u"Podcast"_s;
    tags.year = u"2024"_s;
    tags.language = u"French"_s;
    tags.publisher = u"Publisher"_s;
    tags.copyright = u"© 2024"_s;
    tags.comment = u"Line one\nLine two"_s;
    tags.description = u"What this episode is about"_s;
    tags.composer = u"Composer"_s;
    tags.category = u"Arts"_s;
    tags.keywords = u"one, two"_s;
    tags.feedURL = u"https://example.com/feed.xml"_s;
    tags.podcastFlag = true;
    tags.cover = hex("89504e470d0a1a0a") + QByteArray(5000, 'p');
    return tags;
}

// What a file holding this audio must be after tagging.
inline QByteArray taggedFile(const ID3::Tags& tags, const QByteArray& audio)
{
    return bytes({ID3::buildTag(tags).bytes, audio, tags.writeID3v1 ? ID3::id3v1(tags) : QByteArray()});
}

inline QStringList leftovers(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("*.tagging-*")}, QDir::Files | QDir::Hidden | QDir::System);
}
