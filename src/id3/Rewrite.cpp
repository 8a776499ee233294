#include "id3/ID3.h"
#include "id3/Text.h"

#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>

namespace ID3 {
namespace {

using namespace Qt::Literals::StringLiterals;

constexpr int temporaryNameAttempts = 8;
constexpr qsizetype uuidPrefixSize = 8;

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd = -1)
        : m_fd(fd)
    { }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { close(); }

    void reset(int fd)
    {
        close();
        m_fd = fd;
    }
    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    int close()
    {
        const int result = m_fd >= 0 ? ::close(m_fd) : 0;
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Fills buffer from offset 0 until end of file or until the buffer is full.
// Returns the number of bytes read, or -1 with errno set.
qint64 readUpTo(int fd, char* buffer, qint64 capacity)
{
    qint64 total = 0;
    while (total < capacity) {
        const ssize_t n = ::pread(fd, buffer + total, std::size_t(capacity - total), off_t(total));
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        total += n;
    }
    return total;
}

// The bytes of the new file are written straight from where they already are:
// the tag, the audio as a view of the file read, the ID3v1 tag.
bool writeAll(int fd, std::array<QByteArrayView, 3> parts)
{
    std::array<iovec, 3> vectors {};
    for (std::size_t i = 0; i < parts.size(); ++i)
        vectors[i] = {const_cast<char*>(parts[i].data()), std::size_t(parts[i].size())};
    iovec* next = vectors.data();
    int remaining = int(vectors.size());
    while (remaining > 0) {
        const ssize_t n = ::writev(fd, next, remaining);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        std::size_t written = std::size_t(n);
        while (remaining > 0 && written >= next->iov_len) {
            written -= next->iov_len;
            ++next;
            --remaining;
        }
        if (remaining > 0) {
            next->iov_base = static_cast<char*>(next->iov_base) + written;
            next->iov_len -= written;
        }
    }
    return true;
}

// The real file behind the name the user gave: a link keeps pointing at the
// file that receives the tag, and the temporary file sits beside that file.
std::optional<QString> resolvedPath(const QString& path, int& error)
{
    std::unique_ptr<char, decltype(&std::free)> resolved(
        ::realpath(QFile::encodeName(path).constData(), nullptr), &std::free);
    if (!resolved) {
        error = errno;
        return std::nullopt;
    }
    return QFile::decodeName(resolved.get());
}

struct TargetFile
{
    QString path; // with links resolved
    struct stat status
    {
    };
    QByteArray bytes;
};

// Reads the target whole into one buffer with room left over for the new
// content, so that the read-back can reuse it. Only regular files are read:
// a FIFO or a device would block or never end.
std::variant<TargetFile, Failure> readTarget(const QString& targetPath, const QString& fileName, qint64 spare)
{
    const auto cannotRead
        = [&](int error) { return Failure::io("Can't read "_L1 + fileName + ": "_L1 + errorText(error)); };
    TargetFile target;
    int error = 0;
    const std::optional<QString> resolved = resolvedPath(targetPath, error);
    if (!resolved)
        return cannotRead(error);
    target.path = *resolved;
    const FileDescriptor fd(
        ::open(QFile::encodeName(target.path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.isOpen())
        return cannotRead(errno);
    if (::fstat(fd.get(), &target.status) != 0)
        return cannotRead(errno);
    if (S_ISDIR(target.status.st_mode))
        return cannotRead(EISDIR);
    if (!S_ISREG(target.status.st_mode))
        return Failure::io("Can't read "_L1 + fileName + ": not a regular file"_L1);

    // One byte more than the size, to notice a file that grows while it is read.
    qint64 capacity = qint64(target.status.st_size) + spare + 1;
    target.bytes = QByteArray(capacity, Qt::Uninitialized);
    qint64 length = 0;
    for (;;) {
        const qint64 n = readUpTo(fd.get(), target.bytes.data() + length, capacity - length);
        if (n < 0)
            return cannotRead(errno);
        length += n;
        if (length < capacity)
            break;
        capacity *= 2;
        target.bytes.resize(capacity);
    }
    target.bytes.truncate(length);
    return target;
}

QString temporaryPath(const QString& realPath)
{
    const QFileInfo info(realPath);
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().left(uuidPrefixSize);
    return info.path() + "/."_L1 + info.completeBaseName() + ".tagging-"_L1 + id + ".mp3"_L1;
}

// The new file takes the target's permission bits, and its owner and group
// where the process may set them; a private file stays private.
void copyOwnership(int fd, const struct stat& status)
{
    if (::fchown(fd, status.st_uid, status.st_gid) != 0)
        (void)!::fchown(fd, uid_t(-1), status.st_gid);
    (void)::fchmod(fd, status.st_mode & 07777);
}

void syncFolder(const QString& folder)
{
    const FileDescriptor fd(
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.isOpen())
        (void)::fsync(fd.get());
}

} // namespace

std::variant<Outcome, Failure> write(const Tags& tags, const QString& targetPath)
{
    const QFileInfo targetInfo(targetPath);
    const QString fileName = targetInfo.fileName();
    if (targetInfo.suffix().toLower() != "mp3"_L1)
        return Failure::notMP3(fileName);
    if (trimSpaces(tags.title).isEmpty())
        return Failure::emptyTitle();

    // The frames are known before the file is read, so the one buffer can be
    // sized for the file and for the new content read back into it later.
    BuiltTag frames = buildFrames(tags);
    const qint64 tagSize = headerSize + frames.bytes.size() + qMax<qint64>(tags.padding, 0);
    const bool tagFits = tagSize - headerSize < syncsafeLimit;
    const qint64 v1Bytes = tags.writeID3v1 ? v1Size : 0;

    auto read = readTarget(targetPath, fileName, tagFits ? tagSize + v1Bytes : 0);
    if (auto* failure = std::get_if<Failure>(&read))
        return *failure;
    TargetFile& target = std::get<TargetFile>(read);

    const QByteArrayView audio = stripTags(target.bytes);
    if (!looksLikeMP3(audio))
        return Failure::notMP3(fileName);
    // Its header could not say how long such a tag is, so the audio would not
    // read back unchanged; refuse before writing hundreds of megabytes.
    if (!tagFits)
        return Failure::audioChanged();

    const BuiltTag tag = finishTag(std::move(frames), tags.padding);
    const QByteArray v1 = tags.writeID3v1 ? id3v1(tags) : QByteArray();
    const qint64 newSize = tag.bytes.size() + audio.size() + v1.size();
    // The digest of the audio runs beside the write and the flush: both only
    // read the buffer, and on a long episode this hides most of one digest.
    auto audioDigest = std::async(std::launch::async, [audio] { return sha256Hex(audio); });

    const auto cannotWrite = [&](int error) {
        return Failure::io("Can't write next to "_L1 + fileName + ": "_L1 + errorText(error));
    };
    QString temporary;
    FileDescriptor fd;
    for (int attempt = 0; attempt < temporaryNameAttempts && !fd.isOpen(); ++attempt) {
        temporary = temporaryPath(target.path);
        // O_EXCL: never reuse or follow whatever already has this name.
        fd.reset(::open(QFile::encodeName(temporary).constData(),
            O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR));
        if (!fd.isOpen() && errno != EEXIST)
            break;
    }
    if (!fd.isOpen())
        return cannotWrite(errno);
    const QByteArray encodedTemporary = QFile::encodeName(temporary);
    // A partial file would only take up space in the user's folder.
    const auto discard = [&] { (void)::unlink(encodedTemporary.constData()); };

    copyOwnership(fd.get(), target.status);
    if (!writeAll(fd.get(), {tag.bytes, audio, v1})) {
        const int error = errno;
        discard();
        return cannotWrite(error);
    }
    // Flushed before the rename: after a power cut the target holds the old
    // content or the complete new one, never an empty or partial file. The
    // flush waits on the disk while the read-back below works from memory, so
    // the two run side by side.
    auto flushed
        = std::async(std::launch::async, [file = fd.get()] { return ::fsync(file) == 0 ? 0 : errno; });

    const QString audioSHA = audioDigest.get();

    // Read back into the buffer that held the file: the audio view is not
    // needed any more, and a fresh buffer would cost another file's worth of
    // memory and page faults.
    QByteArray& back = target.bytes;
    if (back.size() < newSize + 1)
        back.resize(newSize + 1);
    const qint64 readBack = readUpTo(fd.get(), back.data(), newSize + 1);
    const QByteArrayView written(back.constData(), qMax<qint64>(readBack, 0));
    const QString writtenSHA = sha256Hex(stripTags(written));
    const int flushError = flushed.get();
    fd.close();
    if (flushError != 0) {
        discard();
        return cannotWrite(flushError);
    }
    if (readBack != newSize || audioSHA.isEmpty() || writtenSHA != audioSHA) {
        discard();
        return Failure::audioChanged();
    }

    if (::rename(encodedTemporary.constData(), QFile::encodeName(target.path).constData()) != 0) {
        const int error = errno;
        discard();
        return Failure::io("Can't replace "_L1 + fileName + ": "_L1 + errorText(error));
    }
    syncFolder(QFileInfo(target.path).path());

    QStringList frameIds = tag.frames;
    if (tags.writeID3v1)
        frameIds += QStringLiteral("ID3v1");
    return Outcome {frameIds, audioSHA, newSize};
}

} // namespace ID3
