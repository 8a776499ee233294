#include "id3/Recovery.h"

#include "id3/FileIO.h"
#include "id3/FileName.h"
#include "id3/ID3.h"
#include "id3/Stream.h"

#include <QFileInfo>
#include <QList>

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>

namespace ID3::Recovery {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace FileIO;

constexpr QByteArrayView tieVersion = "1";
constexpr qsizetype tieFields = 6;

QString digestOfTags(QByteArrayView head, QByteArrayView tail)
{
    Stream::Sha256 sha;
    sha.add(head);
    sha.add(tail);
    return sha.hex();
}

std::optional<Tie> tieOf(int fd)
{
    QByteArray text(512, Qt::Uninitialized);
    const ssize_t length = ::fgetxattr(fd, tieAttribute, text.data(), std::size_t(text.size()));
    if (length <= 0)
        return std::nullopt;
    text.truncate(length);
    return Tie::parse(text);
}

// A file as the strip rules see it: where its audio lies, the tags around it,
// and the audio's first bytes.
struct Seen
{
    Range audio;
    QByteArray head;
    QByteArray tail;
    QByteArray start;
};

std::optional<Seen> look(int fd, qint64 size)
{
    Seen seen;
    seen.audio = audioRange(size, Stream::reader(fd));
    const auto head = Stream::read(fd, 0, seen.audio.begin);
    const auto tail = Stream::read(fd, seen.audio.end, size - seen.audio.end);
    const auto start = Stream::read(fd, seen.audio.begin, qMin<qint64>(mpegMinimumSize, seen.audio.size()));
    if (!head || !tail || !start)
        return std::nullopt;
    seen.head = *head;
    seen.tail = *tail;
    seen.start = *start;
    return seen;
}

std::optional<QString> audioDigest(int fd, Range audio)
{
    const auto digest = Stream::digest(fd, audio);
    return std::holds_alternative<QString>(digest) ? std::optional(std::get<QString>(digest)) : std::nullopt;
}

// True when the target still is what the cut-short write left: the old file or
// the new one with the copy's audio, or a file that begins with the tag the
// write put first. A complete MP3 file with other audio was written since.
bool targetAwaitsCopy(const QString& targetPath, const Seen& copy, const Tie& tie)
{
    const FileDescriptor fd(openPath(targetPath, O_RDONLY | O_NOFOLLOW | O_NONBLOCK));
    struct stat status
    {
    };
    if (!fd.isOpen() || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    const std::optional<Seen> target = look(fd.get(), status.st_size);
    if (!target)
        return false;
    if (!looksLikeMP3(target->start) || audioDigest(fd.get(), target->audio) == tie.audioSHA)
        return true;
    return !copy.head.isEmpty() && Stream::read(fd.get(), 0, copy.head.size()) == copy.head;
}

} // namespace

QByteArray Tie::text() const
{
    return QList<QByteArray> {tieVersion.toByteArray(), QByteArray::number(quint64(device)),
        QByteArray::number(quint64(inode)), QByteArray::number(quint64(owner)), audioSHA.toLatin1(),
        surroundSHA.toLatin1()}
        .join(' ');
}

std::optional<Tie> Tie::parse(QByteArrayView text)
{
    const QList<QByteArray> fields = text.toByteArray().split(' ');
    if (fields.size() != tieFields || fields.at(0) != tieVersion)
        return std::nullopt;
    bool ok[3] = {};
    Tie tie;
    tie.device = dev_t(fields.at(1).toULongLong(&ok[0]));
    tie.inode = ino_t(fields.at(2).toULongLong(&ok[1]));
    tie.owner = uid_t(fields.at(3).toULongLong(&ok[2]));
    tie.audioSHA = QString::fromLatin1(fields.at(4));
    tie.surroundSHA = QString::fromLatin1(fields.at(5));
    if (!ok[0] || !ok[1] || !ok[2])
        return std::nullopt;
    return tie;
}

Tie Tie::of(const struct stat& target, const QString& audioSHA, QByteArrayView head, QByteArrayView tail)
{
    return {target.st_dev, target.st_ino, target.st_uid, audioSHA, digestOfTags(head, tail)};
}

int keep(int fd, const QString& temporary, const QString& recovery, const Tie& tie)
{
    // A file system that keeps no extended attributes still gets the copy: it
    // can't be put back by itself then, but a person can move it back.
    const QByteArray text = tie.text();
    if (::fsetxattr(fd, tieAttribute, text.constData(), std::size_t(text.size()), 0) == 0)
        (void)::fsync(fd);
    // link() never replaces what has the name, as rename() would.
    const QByteArray encodedTemporary = FileName::encode(temporary);
    if (::link(encodedTemporary.constData(), FileName::encode(recovery).constData()) != 0)
        return errno;
    (void)::unlink(encodedTemporary.constData());
    return 0;
}

PutBack putBack(const QString& targetPath, const QString& fileName)
{
    const QString recovery = recoveryPath(targetPath);
    const FileDescriptor fd(openPath(recovery, O_RDONLY | O_NOFOLLOW | O_NONBLOCK));
    if (!fd.isOpen() && errno == ENOENT)
        return {};
    const QString copyName = FileName::display(QFileInfo(recovery).fileName());
    const PutBack stray {std::nullopt, copyName};
    struct stat copyStatus
    {
    };
    struct stat targetStatus
    {
    };
    if (!fd.isOpen() || ::fstat(fd.get(), &copyStatus) != 0 || !S_ISREG(copyStatus.st_mode)
        || ::lstat(FileName::encode(targetPath).constData(), &targetStatus) != 0
        || copyStatus.st_uid != targetStatus.st_uid)
        return stray;
    const std::optional<Tie> tie = tieOf(fd.get());
    if (!tie || tie->device != targetStatus.st_dev || tie->inode != targetStatus.st_ino
        || tie->owner != targetStatus.st_uid)
        return stray;
    // A copy cut short or changed since it was made no longer matches its tie.
    const std::optional<Seen> copy = look(fd.get(), copyStatus.st_size);
    if (!copy || !looksLikeMP3(copy->start))
        return stray;
    const std::optional<QString> copyAudio = audioDigest(fd.get(), copy->audio);
    if (!copyAudio || Tie::of(targetStatus, *copyAudio, copy->head, copy->tail) != *tie
        || !targetAwaitsCopy(targetPath, *copy, *tie))
        return stray;

    bool started = false;
    if (const int error = Stream::overwrite(targetPath, fd.get(), copyStatus.st_size, started); error != 0) {
        Failure failure = Failure::io("Can't put "_L1 + fileName + " back from its tagged copy "_L1 + copyName
            + ": "_L1 + errorText(error) + "; both were left as they are"_L1);
        failure.touched = started;
        return {failure, {}};
    }
    (void)::unlink(FileName::encode(recovery).constData());
    return {};
}

} // namespace ID3::Recovery
