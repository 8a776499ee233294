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

// Where the tie of a copy made for the file with this device and inode is
// recorded when the copy can't hold it.
QString recordPath(const QString& tieFolder, dev_t device, ino_t inode)
{
    return tieFolder + u'/' + QString::number(quint64(device)) + u'-' + QString::number(quint64(inode))
        + ".tie"_L1;
}

// A record holds the tie, then, on a line of its own, the copy's inode: it
// serves that very copy and no other of the same name.
bool writeRecord(const QString& tieFolder, const Tie& tie, ino_t copy)
{
    const QByteArray folder = FileName::encode(tieFolder);
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    const QString path = recordPath(tieFolder, tie.device, tie.inode);
    const QString partial = path + ".new"_L1;
    const QByteArray text = tie.text() + '\n' + QByteArray::number(quint64(copy)) + '\n';
    FileDescriptor fd(openPath(partial, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, S_IRUSR | S_IWUSR));
    const bool written = fd.isOpen() && Stream::writeAt(fd.get(), text, 0) && ::fsync(fd.get()) == 0;
    if (fd.close() != 0 || !written
        || ::rename(FileName::encode(partial).constData(), FileName::encode(path).constData()) != 0) {
        (void)::unlink(FileName::encode(partial).constData());
        return false;
    }
    syncFolder(tieFolder);
    return true;
}

// The tie of the copy open as `fd`: its attribute's, or else the record's for
// the target, when the record names this copy.
std::optional<Tie> tieOf(int fd, const struct stat& copy, const struct stat& target, const QString& tieFolder)
{
    QByteArray text(512, Qt::Uninitialized);
    const ssize_t length = ::fgetxattr(fd, tieAttribute, text.data(), std::size_t(text.size()));
    if (length > 0)
        return Tie::parse(QByteArrayView(text).first(length));
    if (tieFolder.isEmpty())
        return std::nullopt;
    const FileDescriptor record(
        openPath(recordPath(tieFolder, target.st_dev, target.st_ino), O_RDONLY | O_NOFOLLOW | O_NONBLOCK));
    const auto recorded = record.isOpen() ? Stream::read(record.get(), 0, 512) : std::nullopt;
    const QList<QByteArray> lines = recorded ? recorded->split('\n') : QList<QByteArray>();
    if (lines.size() < 2 || lines.at(1) != QByteArray::number(quint64(copy.st_ino)))
        return std::nullopt;
    return Tie::parse(lines.at(0));
}

std::optional<QString> audioDigest(int fd, Range audio)
{
    const auto digest = Stream::digest(fd, audio);
    return std::holds_alternative<QString>(digest) ? std::optional(std::get<QString>(digest)) : std::nullopt;
}

// True when the target still is what the cut-short write left: the old file or
// the new one with the copy's audio, or a file that begins with the tag the
// write put first. A complete MP3 file with other audio was written since.
bool targetAwaitsCopy(const QString& targetPath, const Stream::Seen& copy, const Tie& tie)
{
    const FileDescriptor fd(openPath(targetPath, O_RDONLY | O_NOFOLLOW | O_NONBLOCK));
    struct stat status
    {
    };
    if (!fd.isOpen() || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    const std::optional<Stream::Seen> target = Stream::look(fd.get(), status.st_size);
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

int keep(int fd, const QString& temporary, const QString& recovery, const Tie& tie, const QString& tieFolder)
{
    // Where neither the copy nor a record can hold the tie, the copy is made all
    // the same: it can't be put back by itself then, but a person can move it back.
    const QByteArray text = tie.text();
    struct stat copy
    {
    };
    bool recorded = false;
    if (::fsetxattr(fd, tieAttribute, text.constData(), std::size_t(text.size()), 0) == 0)
        (void)::fsync(fd);
    else if (!tieFolder.isEmpty() && ::fstat(fd, &copy) == 0)
        recorded = writeRecord(tieFolder, tie, copy.st_ino);
    // link() never replaces what has the name, as rename() would.
    const QByteArray encodedTemporary = FileName::encode(temporary);
    if (::link(encodedTemporary.constData(), FileName::encode(recovery).constData()) != 0) {
        const int error = errno;
        if (recorded)
            (void)::unlink(FileName::encode(recordPath(tieFolder, tie.device, tie.inode)).constData());
        return error;
    }
    (void)::unlink(encodedTemporary.constData());
    return 0;
}

void drop(const QString& recovery, const Tie& tie, const QString& tieFolder)
{
    (void)::unlink(FileName::encode(recovery).constData());
    if (!tieFolder.isEmpty())
        (void)::unlink(FileName::encode(recordPath(tieFolder, tie.device, tie.inode)).constData());
}

QString inTheWay(const QString& fileName, const QString& copyName)
{
    return "Can't write "_L1 + fileName + " in place: "_L1 + copyName
        + " is in the way, and it was left alone. A file of that name holds the checked new bytes of a "
          "write in place that was cut short: move it over "_L1
        + fileName + " to finish that write, or delete it, then tag again"_L1;
}

PutBack putBack(const QString& targetPath, const QString& fileName, const QString& tieFolder)
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
    const std::optional<Tie> tie = tieOf(fd.get(), copyStatus, targetStatus, tieFolder);
    if (!tie || tie->device != targetStatus.st_dev || tie->inode != targetStatus.st_ino
        || tie->owner != targetStatus.st_uid)
        return stray;
    // A copy cut short or changed since it was made no longer matches its tie.
    const std::optional<Stream::Seen> copy = Stream::look(fd.get(), copyStatus.st_size);
    if (!copy || !looksLikeMP3(copy->start))
        return stray;
    const std::optional<QString> copyAudio = audioDigest(fd.get(), copy->audio);
    if (!copyAudio || Tie::of(targetStatus, *copyAudio, copy->head, copy->tail) != *tie
        || !targetAwaitsCopy(targetPath, *copy, *tie))
        return stray;

    const Stream::Overwrite written = Stream::overwrite(targetPath, fd.get(), copyStatus.st_size);
    if (written.failed()) {
        const QString cause = written.readsDiffer
            ? "it read differently twice: the disk or file system returned different bytes"_L1
            : errorText(written.error);
        Failure failure = Failure::io("Can't put "_L1 + fileName + " back from its tagged copy "_L1 + copyName
            + ": "_L1 + cause + "; both were left as they are"_L1);
        failure.touched = written.started;
        return {failure, {}};
    }
    drop(recovery, *tie, tieFolder);
    return {};
}

} // namespace ID3::Recovery
