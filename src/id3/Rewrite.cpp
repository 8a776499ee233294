#include "id3/Rewrite.h"

#include "id3/FileName.h"
#include "id3/Recovery.h"
#include "id3/Stream.h"

#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace ID3::Rewrite {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace FileIO;

constexpr int temporaryNameAttempts = 8;

Failure cannotRead(const QString& fileName, int error)
{
    return Failure::io("Can't read "_L1 + fileName + ": "_L1 + errorText(error));
}

Failure cannotWrite(const QString& fileName, int error)
{
    return Failure::io("Can't write next to "_L1 + fileName + ": "_L1 + errorText(error));
}

Failure troubleOf(const Stream::Trouble& trouble, const QString& fileName)
{
    if (trouble.shortened)
        return Failure::io(fileName + " got shorter while it was being tagged; it was left as it is"_L1);
    return trouble.reading ? cannotRead(fileName, trouble.error) : cannotWrite(fileName, trouble.error);
}

// The new file takes the target's permission bits, its owner and group where
// the process may set them, and its extended attributes (ACLs among them); a
// private file stays private. The mode comes last: changing the owner clears
// set-user-ID bits, and an ACL written before it is trimmed back to the mode.
void copyMetadata(int fd, const Source& source)
{
    if (::fchown(fd, source.status.st_uid, source.status.st_gid) != 0)
        (void)!::fchown(fd, uid_t(-1), source.status.st_gid);
    applyAttributes(fd, source.attributes);
    (void)::fchmod(fd, source.status.st_mode & 07777);
}

// A file with more than one name keeps them all: the verified temporary file
// becomes the recovery copy, and the new bytes are written into the target
// itself from it. Until they are in and read back, a complete verified file is
// always on disk: the old target, or the recovery copy beside it.
std::variant<Placed, Failure> replaceInPlace(Temporary& temporary, const Source& source,
    const Surround& surround, const QString& audioSHA, const QString& tieFolder, const QString& fileName)
{
    const QString recovery = recoveryPath(source.path);
    const QString copyName = FileName::display(QFileInfo(recovery).fileName());
    const Recovery::Tie tie = Recovery::Tie::of(source.status, audioSHA, surround.head, surround.tail);
    if (const int error = Recovery::keep(temporary.fd.get(), temporary.path, recovery, tie, tieFolder);
        error != 0) {
        (void)::unlink(FileName::encode(temporary.path).constData());
        if (error == EEXIST)
            return Failure::io(Recovery::inTheWay(fileName, copyName));
        return Failure::io("Can't replace "_L1 + fileName + ": "_L1 + errorText(error));
    }
    syncFolder(QFileInfo(source.path).path());
    const qint64 size = surround.head.size() + source.audio.size() + surround.tail.size();
    const Stream::Overwrite written = Stream::overwrite(source.path, temporary.fd.get(), size);
    if (written.failed()) {
        if (!written.started) {
            Recovery::drop(recovery, tie, tieFolder);
            return Failure::io("Can't write "_L1 + fileName + ": "_L1 + errorText(written.error));
        }
        const QString cause = written.readsDiffer
            ? "its tagged copy read differently twice: the disk or file system returned different bytes"_L1
            : errorText(written.error);
        Failure failure = Failure::io("Can't write "_L1 + fileName + " in place: "_L1 + cause
            + "; its tagged copy "_L1 + copyName + " puts it right the next time it is tagged"_L1);
        failure.touched = true;
        return failure;
    }
    Recovery::drop(recovery, tie, tieFolder);
    temporary.fd.close();
    return Placed {written.readAgain};
}

} // namespace

std::variant<Source, Failure> openSource(const QString& path, const QString& fileName, bool afresh)
{
    Source source;
    source.path = path;
    source.fd.reset(openPath(path, O_RDONLY | O_NONBLOCK));
    const int fd = source.fd.get();
    if (!source.fd.isOpen() || ::fstat(fd, &source.status) != 0)
        return cannotRead(fileName, errno);
    if (S_ISDIR(source.status.st_mode))
        return cannotRead(fileName, EISDIR);
    if (!S_ISREG(source.status.st_mode))
        return Failure::io("Can't read "_L1 + fileName + ": not a regular file"_L1);
    if (afresh)
        Stream::forget(fd);
    source.attributes = readAttributes(fd);

    std::optional<Stream::Seen> seen = Stream::look(fd, source.status.st_size);
    if (!seen)
        return cannotRead(fileName, errno);
    if (!looksLikeMP3(seen->start))
        return Failure::notMP3(fileName);
    source.audio = seen->audio;
    source.head = std::move(seen->head);
    source.tail = std::move(seen->tail);
    return source;
}

std::variant<Temporary, Failure> makeTemporary(const Source& source, const QString& fileName)
{
    Temporary temporary;
    for (int attempt = 0; attempt < temporaryNameAttempts && !temporary.fd.isOpen(); ++attempt) {
        temporary.path = temporaryPath(source.path);
        // O_EXCL: never reuse or follow whatever already has this name.
        temporary.fd.reset(
            openPath(temporary.path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, S_IRUSR | S_IWUSR));
        if (!temporary.fd.isOpen() && errno != EEXIST)
            break;
        if (!temporary.fd.isOpen())
            continue;
        // The lock tells a clean-up in another Pelamo that this file is in use.
        // Should one have removed it just before the lock, take another name.
        struct stat created
        {
        };
        if (::flock(temporary.fd.get(), LOCK_EX | LOCK_NB) != 0 || ::fstat(temporary.fd.get(), &created) != 0
            || created.st_nlink == 0)
            temporary.fd.close();
    }
    if (!temporary.fd.isOpen())
        return cannotWrite(fileName, errno);
    copyMetadata(temporary.fd.get(), source);
    return temporary;
}

std::variant<QString, Failure> writeNew(
    const Temporary& temporary, const Source& source, const Surround& surround, const QString& fileName)
{
    const int fd = temporary.fd.get();
    if (!Stream::writeAt(fd, surround.head, 0))
        return cannotWrite(fileName, errno);
    const auto moved = Stream::transfer(
        {source.fd.get(), source.head, source.audio, source.tail, fd, surround.head.size(), true});
    if (const auto* trouble = std::get_if<Stream::Trouble>(&moved))
        return troubleOf(*trouble, fileName);
    if (std::holds_alternative<Stream::Mismatch>(moved))
        return Failure::readsDiffer(fileName);
    if (!Stream::writeAt(fd, surround.tail, surround.head.size() + source.audio.size()))
        return cannotWrite(fileName, errno);
    const QString& audioSHA = std::get<QString>(moved);
    if (audioSHA.isEmpty())
        return Failure::audioChanged();
    return audioSHA;
}

std::optional<Failure> confirm(
    const Temporary& temporary, const Source& source, const Surround& surround, const QString& fileName)
{
    const int fd = temporary.fd.get();
    const qint64 size = surround.head.size() + source.audio.size() + surround.tail.size();
    struct stat written
    {
    };
    if (::fstat(fd, &written) != 0 || written.st_size != size
        || Stream::read(fd, 0, surround.head.size()) != surround.head
        || Stream::read(fd, size - surround.tail.size(), surround.tail.size()) != surround.tail)
        return Failure::readsDiffer(fileName);
    // Behind the new tags the strip rules must find the audio where it was put:
    // otherwise the next reader would cut the file elsewhere.
    if (audioRange(size, Stream::reader(fd)) != Range {surround.head.size(), size - surround.tail.size()})
        return Failure::audioChanged();
    return std::nullopt;
}

bool isUnchanged(const Source& source)
{
    struct stat now
    {
    };
    if (::stat(FileName::encode(source.path).constData(), &now) != 0)
        return false;
    const struct stat& then = source.status;
    return now.st_dev == then.st_dev && now.st_ino == then.st_ino && now.st_size == then.st_size
        && now.st_mtim.tv_sec == then.st_mtim.tv_sec && now.st_mtim.tv_nsec == then.st_mtim.tv_nsec;
}

std::variant<Placed, Failure> replace(Temporary& temporary, const Source& source, const Surround& surround,
    const QString& audioSHA, FolderSync folderSync, const QString& tieFolder, const QString& fileName)
{
    if (source.status.st_nlink > 1)
        return replaceInPlace(temporary, source, surround, audioSHA, tieFolder, fileName);
    // Renamed while still open and locked, so no clean-up takes it first.
    const QByteArray encoded = FileName::encode(temporary.path);
    if (::rename(encoded.constData(), FileName::encode(source.path).constData()) != 0) {
        const int error = errno;
        (void)::unlink(encoded.constData());
        return Failure::io("Can't replace "_L1 + fileName + ": "_L1 + errorText(error));
    }
    temporary.fd.close();
    if (folderSync == FolderSync::Now)
        syncFolder(QFileInfo(source.path).path());
    return Placed {};
}

} // namespace ID3::Rewrite
