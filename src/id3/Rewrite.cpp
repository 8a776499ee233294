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
std::optional<Failure> replaceInPlace(Temporary& temporary, const Source& source, const Surround& surround,
    const QString& audioSHA, const QString& fileName)
{
    const QString recovery = recoveryPath(source.path);
    const QString copyName = FileName::display(QFileInfo(recovery).fileName());
    const Recovery::Tie tie = Recovery::Tie::of(source.status, audioSHA, surround.head, surround.tail);
    if (const int error = Recovery::keep(temporary.fd.get(), temporary.path, recovery, tie); error != 0) {
        (void)::unlink(FileName::encode(temporary.path).constData());
        if (error == EEXIST)
            return Failure::io("Can't write "_L1 + fileName + " in place: "_L1 + copyName
                + " is in the way, and it was left alone"_L1);
        return Failure::io("Can't replace "_L1 + fileName + ": "_L1 + errorText(error));
    }
    syncFolder(QFileInfo(source.path).path());
    const qint64 size = surround.head.size() + source.audio.size() + surround.tail.size();
    bool started = false;
    if (const int error = Stream::overwrite(source.path, temporary.fd.get(), size, started); error != 0) {
        if (!started) {
            (void)::unlink(FileName::encode(recovery).constData());
            return Failure::io("Can't write "_L1 + fileName + ": "_L1 + errorText(error));
        }
        Failure failure = Failure::io("Can't write "_L1 + fileName + " in place: "_L1 + errorText(error)
            + "; its tagged copy "_L1 + copyName + " puts it right the next time it is tagged"_L1);
        failure.touched = true;
        return failure;
    }
    (void)::unlink(FileName::encode(recovery).constData());
    temporary.fd.close();
    return std::nullopt;
}

} // namespace

std::variant<Source, Failure> openSource(const QString& path, const QString& fileName)
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
    source.attributes = readAttributes(fd);

    const qint64 size = source.status.st_size;
    source.audio = audioRange(size, Stream::reader(fd));
    const auto head = Stream::read(fd, 0, source.audio.begin);
    const auto tail = Stream::read(fd, source.audio.end, size - source.audio.end);
    const auto start
        = Stream::read(fd, source.audio.begin, qMin<qint64>(mpegMinimumSize, source.audio.size()));
    if (!head || !tail || !start)
        return cannotRead(fileName, errno);
    if (!looksLikeMP3(*start))
        return Failure::notMP3(fileName);
    source.head = *head;
    source.tail = *tail;
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
    const auto copied = Stream::copy(source.fd.get(), source.audio, fd, surround.head.size());
    if (const auto* trouble = std::get_if<Stream::Trouble>(&copied))
        return trouble->reading ? cannotRead(fileName, trouble->error)
                                : cannotWrite(fileName, trouble->error);
    if (!Stream::writeAt(fd, surround.tail, surround.head.size() + source.audio.size()))
        return cannotWrite(fileName, errno);
    return std::get<QString>(copied);
}

bool readsBack(int fd, qint64 size, const Surround& surround, const QString& audioSHA)
{
    struct stat written
    {
    };
    if (::fstat(fd, &written) != 0 || written.st_size != size || audioSHA.isEmpty())
        return false;
    if (Stream::read(fd, 0, surround.head.size()) != surround.head
        || Stream::read(fd, size - surround.tail.size(), surround.tail.size()) != surround.tail)
        return false;
    const auto digest = Stream::digest(fd, audioRange(size, Stream::reader(fd)));
    return std::holds_alternative<QString>(digest) && std::get<QString>(digest) == audioSHA;
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

std::optional<Failure> replace(Temporary& temporary, const Source& source, const Surround& surround,
    const QString& audioSHA, FolderSync folderSync, const QString& fileName)
{
    if (source.status.st_nlink > 1)
        return replaceInPlace(temporary, source, surround, audioSHA, fileName);
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
    return std::nullopt;
}

} // namespace ID3::Rewrite
