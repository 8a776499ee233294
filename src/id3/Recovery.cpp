#include "id3/Recovery.h"

#include "id3/FileIO.h"
#include "id3/FileName.h"
#include "id3/ID3.h"

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

QByteArray surroundOf(QByteArrayView content, QByteArrayView audio)
{
    const qsizetype start = audio.data() - content.data();
    return content.first(start).toByteArray().append(content.sliced(start + audio.size()));
}

// A whole regular file, or nothing when it can't be read as one.
std::optional<QByteArray> readWhole(int fd)
{
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    QByteArray bytes(qint64(status.st_size), Qt::Uninitialized);
    if (readUpTo(fd, bytes.data(), bytes.size()) != bytes.size())
        return std::nullopt;
    return bytes;
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

// True when the target still is what the cut-short write left: the old file or
// the new one with the copy's audio, or a file that begins with the tag the
// write put first. A complete MP3 file with other audio was written since.
bool targetAwaitsCopy(const QString& targetPath, QByteArrayView copy, const Tie& tie)
{
    const FileDescriptor fd(openPath(targetPath, O_RDONLY | O_NOFOLLOW | O_NONBLOCK));
    const std::optional<QByteArray> target = fd.isOpen() ? readWhole(fd.get()) : std::nullopt;
    if (!target)
        return false;
    const QByteArrayView audio = stripTags(*target);
    if (!looksLikeMP3(audio) || sha256Hex(audio) == tie.audioSHA)
        return true;
    const qsizetype copyHead = stripTags(copy).data() - copy.data();
    return copyHead > 0 && target->startsWith(copy.first(copyHead));
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

Tie Tie::of(const struct stat& target, QByteArrayView content)
{
    const QByteArrayView audio = stripTags(content);
    return {
        target.st_dev, target.st_ino, target.st_uid, sha256Hex(audio), sha256Hex(surroundOf(content, audio))};
}

int keep(int fd, const QString& temporary, const QString& recovery, const struct stat& target,
    QByteArrayView content)
{
    // A file system that keeps no extended attributes still gets the copy: it
    // can't be put back by itself then, but a person can move it back.
    const QByteArray tie = Tie::of(target, content).text();
    if (::fsetxattr(fd, tieAttribute, tie.constData(), std::size_t(tie.size()), 0) == 0)
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
    const std::optional<QByteArray> copy = readWhole(fd.get());
    // A copy cut short or changed since it was made no longer matches its tie.
    if (!copy || Tie::of(targetStatus, *copy) != *tie || !looksLikeMP3(stripTags(*copy))
        || !targetAwaitsCopy(targetPath, *copy, *tie))
        return stray;

    bool started = false;
    if (const int error = overwrite(targetPath, *copy, started); error != 0) {
        Failure failure = Failure::io("Can't put "_L1 + fileName + " back from its tagged copy "_L1 + copyName
            + ": "_L1 + errorText(error) + "; both were left as they are"_L1);
        failure.touched = started;
        return {failure, {}};
    }
    (void)::unlink(FileName::encode(recovery).constData());
    return {};
}

} // namespace ID3::Recovery
