#include "id3/Inspect.h"

#include "id3/FileIO.h"
#include "id3/FileName.h"
#include "id3/ID3.h"
#include "id3/OldFrames.h"
#include "id3/Stream.h"

#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>

namespace ID3 {
namespace {

using namespace Qt::Literals::StringLiterals;

// ID3v1's fields, from the tag's 128 bytes: "TAG", title, artist, album, year,
// comment, and in ID3v1.1 a track byte after the comment's terminator, genre.
Fields v1Fields(QByteArrayView tag)
{
    qsizetype at = v1MagicSize;
    const auto text = [&](qsizetype width) {
        const QByteArrayView field = tag.sliced(at, width);
        at += width;
        const qsizetype end = field.indexOf('\0');
        return QString::fromLatin1(end < 0 ? field : field.first(end)).trimmed();
    };
    Fields fields {{u"title"_s, text(v1FieldWidth)}, {u"artist"_s, text(v1FieldWidth)},
        {u"album"_s, text(v1FieldWidth)}, {u"year"_s, text(v1YearWidth)}};
    const bool track = tag[at + v1CommentWidth] == '\0' && tag[at + v1CommentWidth + 1] != '\0';
    fields.append({u"comment"_s, text(track ? v1CommentWidth : v1CommentWidth + 2)});
    if (track)
        fields.append({u"track"_s, QString::number(quint8(tag[at + 1]))});
    const quint8 genre = quint8(tag[v1Size - 1]);
    fields.append({u"genre"_s, genre < genres().size() ? genres().at(genre) : QString()});
    return fields;
}

// Fields for people: a single text as it is, the others as "name value" pairs.
QString fieldsText(const Fields& fields)
{
    if (fields.size() == 1 && fields.first().first == u"text"_s)
        return FileName::singleLine(fields.first().second);
    QStringList parts;
    for (const auto& [name, value] : fields)
        parts.append(name + u' ' + (value.isEmpty() ? u"\u201c\u201d"_s : FileName::singleLine(value)));
    return parts.join(u" \u00b7 "_s);
}

} // namespace

QStringList inspectionLines(const Inspection& inspection)
{
    QStringList lines;
    if (inspection.tags.isEmpty())
        lines.append(u"  No ID3v2 tag"_s);
    for (const InspectedTag& tag : inspection.tags) {
        lines.append(u"  ID3v%1 tag, %2 bytes"_s.arg(tag.version).arg(tag.size));
        for (const InspectedFrame& frame : tag.frames)
            lines.append(u"    "_s + frame.id.leftJustified(5)
                + (frame.fields.isEmpty() ? u"%1 bytes"_s.arg(frame.size) : fieldsText(frame.fields)));
    }
    lines.append(
        inspection.id3v1.isEmpty() ? u"  No ID3v1 tag"_s : u"  ID3v1: "_s + fieldsText(inspection.id3v1));
    lines.append(inspection.ape ? u"  APE tag: yes"_s : u"  APE tag: none"_s);
    lines.append(u"  Audio: %1 bytes, SHA-256 %2"_s.arg(inspection.audioSize).arg(inspection.audioSHA));
    return lines;
}

std::variant<Inspection, Failure> inspect(const QString& path)
{
    const QString fileName = FileName::display(QFileInfo(path).fileName());
    if (QFileInfo(path).suffix().toLower() != "mp3"_L1)
        return Failure::notMP3(fileName);
    const FileIO::FileDescriptor fd(FileIO::openPath(path, O_RDONLY | O_NONBLOCK));
    struct stat status
    {
    };
    if (!fd.isOpen() || ::fstat(fd.get(), &status) != 0)
        return Failure::io("Can't read "_L1 + fileName + ": "_L1 + FileIO::errorText(errno));
    if (!S_ISREG(status.st_mode))
        return Failure::io("Can't read "_L1 + fileName + ": not a regular file"_L1);
    const std::optional<Stream::Seen> seen = Stream::look(fd.get(), status.st_size);
    if (!seen)
        return Failure::io("Can't read "_L1 + fileName + ": "_L1 + FileIO::errorText(errno));
    if (!looksLikeMP3(seen->start))
        return Failure::notMP3(fileName);

    Inspection inspection;
    for (const OldTag& tag : oldTags(seen->head)) {
        InspectedTag shown {u"2.%1.%2"_s.arg(tag.version).arg(tag.revision), tag.size, {}};
        for (const KeptFrame& frame : tag.frames)
            shown.frames.append({QString::fromLatin1(frame.id), frame.body.size(), fieldsOf(frame)});
        inspection.tags.append(std::move(shown));
    }
    const QByteArrayView tail = seen->tail;
    if (tail.size() >= v1Size && tail.last(v1Size).startsWith("TAG"))
        inspection.id3v1 = v1Fields(tail.last(v1Size));
    inspection.ape = tail.contains("APETAGEX");
    inspection.audioSize = seen->audio.size();
    const auto digest = Stream::digest(fd.get(), seen->audio);
    if (const auto* trouble = std::get_if<Stream::Trouble>(&digest))
        return Failure::io("Can't read "_L1 + fileName + ": "_L1
            + FileIO::errorText(trouble->shortened ? EIO : trouble->error));
    inspection.audioSHA = std::get<QString>(digest);
    return inspection;
}

} // namespace ID3
