#include "id3/Chapters.h"
#include "id3/FileIO.h"
#include "id3/FileName.h"
#include "id3/ID3.h"
#include "id3/Recovery.h"
#include "id3/Text.h"

#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <future>
#include <memory>

namespace ID3 {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace FileIO;

constexpr int temporaryNameAttempts = 8;

std::function<void(const QString&)>& beforeReplaceHook()
{
    static std::function<void(const QString&)> hook;
    return hook;
}

// The real file behind the name the user gave: a link keeps pointing at the
// file that receives the tag, and the temporary file sits beside that file.
std::optional<QString> resolvedPath(const QString& path, int& error)
{
    std::unique_ptr<char, decltype(&std::free)> resolved(
        ::realpath(FileName::encode(path).constData(), nullptr), &std::free);
    if (!resolved) {
        error = errno;
        return std::nullopt;
    }
    return FileName::decode(resolved.get());
}

struct TargetFile
{
    QString path; // with links resolved
    struct stat status
    {
    };
    Attributes attributes;
    QByteArray bytes;
};

// Reads the target whole into one buffer with room left over for the new
// content, so that the read-back can reuse it. Only regular files are read:
// a FIFO or a device would block or never end.
std::variant<TargetFile, Failure> readTarget(const QString& path, const QString& fileName, qint64 spare)
{
    const auto cannotRead
        = [&](int error) { return Failure::io("Can't read "_L1 + fileName + ": "_L1 + errorText(error)); };
    TargetFile target;
    target.path = path;
    const FileDescriptor fd(openPath(target.path, O_RDONLY | O_NONBLOCK));
    if (!fd.isOpen())
        return cannotRead(errno);
    if (::fstat(fd.get(), &target.status) != 0)
        return cannotRead(errno);
    if (S_ISDIR(target.status.st_mode))
        return cannotRead(EISDIR);
    if (!S_ISREG(target.status.st_mode))
        return Failure::io("Can't read "_L1 + fileName + ": not a regular file"_L1);
    target.attributes = readAttributes(fd.get());

    // One byte more than the size, to notice a file that grows while it is read.
    qint64 capacity = qint64(target.status.st_size) + spare + 1;
    target.bytes = QByteArray(capacity, Qt::Uninitialized);
    qint64 length = 0;
    for (;;) {
        const qint64 n = readUpTo(fd.get(), target.bytes.data() + length, capacity - length, length);
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

// The new file takes the target's permission bits, its owner and group where
// the process may set them, and its extended attributes (ACLs among them); a
// private file stays private. The mode comes last: changing the owner clears
// set-user-ID bits, and an ACL written before it is trimmed back to the mode.
void copyMetadata(int fd, const TargetFile& target)
{
    if (::fchown(fd, target.status.st_uid, target.status.st_gid) != 0)
        (void)!::fchown(fd, uid_t(-1), target.status.st_gid);
    applyAttributes(fd, target.attributes);
    (void)::fchmod(fd, target.status.st_mode & 07777);
}

// True while the name still leads to the file that was read, unchanged: an
// editor or a download still writing it must not lose its bytes to the rename.
bool isUnchanged(const TargetFile& target)
{
    struct stat now
    {
    };
    if (::stat(FileName::encode(target.path).constData(), &now) != 0)
        return false;
    const struct stat& then = target.status;
    return now.st_dev == then.st_dev && now.st_ino == then.st_ino && now.st_size == then.st_size
        && now.st_mtim.tv_sec == then.st_mtim.tv_sec && now.st_mtim.tv_nsec == then.st_mtim.tv_nsec;
}

// A file with more than one name keeps them all: the verified temporary file
// becomes the recovery copy, and the new bytes are written into the target
// itself. Until they are in and read back, a complete verified file is always
// on disk: the old target, or the recovery copy beside it.
std::optional<Failure> replaceInPlace(int fd, const QString& temporary, const TargetFile& target,
    QByteArrayView content, const QString& fileName)
{
    const QString recovery = recoveryPath(target.path);
    const QString copyName = FileName::display(QFileInfo(recovery).fileName());
    if (const int error = Recovery::keep(fd, temporary, recovery, target.status, content); error != 0) {
        (void)::unlink(FileName::encode(temporary).constData());
        if (error == EEXIST)
            return Failure::io("Can't write "_L1 + fileName + " in place: "_L1 + copyName
                + " is in the way, and it was left alone"_L1);
        return Failure::io("Can't replace "_L1 + fileName + ": "_L1 + errorText(error));
    }
    const QString folder = QFileInfo(target.path).path();
    syncFolder(folder);
    bool started = false;
    if (const int error = overwrite(target.path, content, started); error != 0) {
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
    return std::nullopt;
}

} // namespace

void setBeforeReplaceHook(std::function<void(const QString& path)> hook)
{
    beforeReplaceHook() = std::move(hook);
}

namespace {

// What a rewrite puts around the audio, decided once the old file is read.
struct Surround
{
    QByteArray head;
    QByteArray tail;
};
using Compose = std::function<std::variant<Surround, Failure>(QByteArrayView file, QByteArrayView audio)>;
// Has the last word once the new file is verified, before it replaces the target.
using Approve = std::function<std::optional<Failure>(const Replaced& replaced)>;

// The verified rewrite that tagging and putting back share: the target's audio,
// read once, goes between new head and tail bytes into a temporary file beside
// it, is read back and checked, and only then takes the target's place.
std::variant<Outcome, Failure> rewrite(const QString& targetPath, qint64 spare, FolderSync folderSync,
    const Compose& compose, const Approve& approve)
{
    const QFileInfo targetInfo(targetPath);
    const QString fileName = FileName::display(targetInfo.fileName());
    int resolveError = 0;
    const std::optional<QString> resolved = resolvedPath(targetPath, resolveError);
    if (!resolved)
        return Failure::io("Can't read "_L1 + fileName + ": "_L1 + errorText(resolveError));
    const Recovery::PutBack recovered = Recovery::putBack(*resolved, fileName);
    if (recovered.failure)
        return *recovered.failure;

    auto read = readTarget(*resolved, fileName, spare);
    if (auto* failure = std::get_if<Failure>(&read))
        return *failure;
    TargetFile& target = std::get<TargetFile>(read);

    const QByteArrayView audio = stripTags(target.bytes);
    if (!looksLikeMP3(audio))
        return Failure::notMP3(fileName);
    auto composed = compose(target.bytes, audio);
    if (auto* failure = std::get_if<Failure>(&composed))
        return *failure;
    const Surround& surround = std::get<Surround>(composed);
    const qint64 newSize = surround.head.size() + audio.size() + surround.tail.size();
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
        fd.reset(openPath(temporary, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, S_IRUSR | S_IWUSR));
        if (!fd.isOpen() && errno != EEXIST)
            break;
        if (!fd.isOpen())
            continue;
        // The lock tells a clean-up in another Pelamo that this file is in use.
        // Should one have removed it just before the lock, take another name.
        struct stat created
        {
        };
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || ::fstat(fd.get(), &created) != 0
            || created.st_nlink == 0)
            fd.close();
    }
    if (!fd.isOpen()) {
        const int error = errno;
        audioDigest.wait();
        return cannotWrite(error);
    }
    const QByteArray encodedTemporary = FileName::encode(temporary);
    // A partial file would only take up space in the user's folder.
    const auto discard = [&] { (void)::unlink(encodedTemporary.constData()); };

    copyMetadata(fd.get(), target);
    if (!writeAll(fd.get(), {surround.head, audio, surround.tail})) {
        const int error = errno;
        audioDigest.wait();
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
    // The bytes around the audio outlive the buffer's reuse below, for approve().
    const qsizetype audioStart = audio.constData() - target.bytes.constData();
    const QByteArray oldHead = approve ? target.bytes.first(audioStart) : QByteArray();
    const QByteArray oldTail = approve ? target.bytes.sliced(audioStart + audio.size()) : QByteArray();

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
    if (flushError != 0) {
        discard();
        return cannotWrite(flushError);
    }
    if (readBack != newSize || audioSHA.isEmpty() || writtenSHA != audioSHA
        || written.first(surround.head.size()) != surround.head
        || written.last(surround.tail.size()) != surround.tail) {
        discard();
        return Failure::audioChanged();
    }
    if (approve) {
        if (auto failure = approve({oldHead, oldTail, surround.head, surround.tail, audioSHA})) {
            discard();
            return *failure;
        }
    }

    if (const auto& hook = beforeReplaceHook())
        hook(target.path);
    if (!isUnchanged(target)) {
        discard();
        return Failure::io(fileName + " changed while it was being tagged; it was left as it is"_L1);
    }

    if (target.status.st_nlink > 1) {
        if (auto failure = replaceInPlace(fd.get(), temporary, target, written, fileName))
            return *failure;
        fd.close();
    } else {
        // Renamed while still open and locked, so no clean-up takes it first.
        if (::rename(encodedTemporary.constData(), FileName::encode(target.path).constData()) != 0) {
            const int error = errno;
            discard();
            return Failure::io("Can't replace "_L1 + fileName + ": "_L1 + errorText(error));
        }
        fd.close();
        if (folderSync == FolderSync::Now)
            syncFolder(QFileInfo(target.path).path());
    }
    return Outcome {{}, audioSHA, newSize, QFileInfo(target.path).path(), recovered.strayCopy};
}

} // namespace

std::variant<Outcome, Failure> write(
    const Tags& tags, const QString& targetPath, FolderSync folderSync, const KeepReplaced& keep)
{
    const QString fileName = FileName::display(QFileInfo(targetPath).fileName());
    if (QFileInfo(targetPath).suffix().toLower() != "mp3"_L1)
        return Failure::notMP3(fileName);
    if (trimSpaces(tags.title).isEmpty())
        return Failure::emptyTitle();

    // The frames are known before the file is read, so the one buffer can be
    // sized for the file and for the new content read back into it later.
    BuiltTag frames = buildFrames(tags);
    const qint64 tagSize = headerSize + frames.bytes.size() + qMax<qint64>(tags.padding, 0);
    const bool tagFits = tagSize - headerSize < syncsafeLimit;
    const qint64 v1Bytes = tags.writeID3v1 ? v1Size : 0;

    QStringList frameIds;
    const auto compose = [&](QByteArrayView file, QByteArrayView audio) -> std::variant<Surround, Failure> {
        // Chapters follow the show's frames, their byte offsets moved with the audio.
        const qsizetype oldAudioStart = audio.data() - file.data();
        const QList<KeptFrame> chapters
            = tags.keepChapters ? chapterFrames(file.first(oldAudioStart)) : QList<KeptFrame>();
        const qint64 newAudioStart = tagSize + keptSize(chapters);
        // Its header could not say how long such a tag is, so the audio would not
        // read back unchanged; refuse before writing hundreds of megabytes.
        if (!tagFits || newAudioStart - headerSize >= syncsafeLimit)
            return Failure::audioChanged();
        frames.bytes += keptFrames(chapters, newAudioStart - oldAudioStart);
        frames.frames += keptNames(chapters);
        BuiltTag tag = finishTag(std::move(frames), tags.padding);
        frameIds = tag.frames;
        return Surround {std::move(tag.bytes), tags.writeID3v1 ? id3v1(tags) : QByteArray()};
    };
    Approve approve;
    if (keep)
        approve = [&keep](const Replaced& replaced) -> std::optional<Failure> {
            keep(replaced);
            return std::nullopt;
        };
    auto written = rewrite(targetPath, tagFits ? tagSize + v1Bytes : 0, folderSync, compose, approve);
    if (auto* outcome = std::get_if<Outcome>(&written)) {
        outcome->frames = frameIds;
        if (tags.writeID3v1)
            outcome->frames += QStringLiteral("ID3v1");
    }
    return written;
}

std::variant<Outcome, Failure> restore(
    const Original& original, const QString& targetPath, FolderSync folderSync)
{
    const QString fileName = FileName::display(QFileInfo(targetPath).fileName());
    const auto changed
        = [&] { return Failure::io(fileName + " was changed after it was tagged; it was left as it is"_L1); };
    // Only the very file that was written goes back: same tag bytes, same audio.
    const auto compose = [&](QByteArrayView file, QByteArrayView audio) -> std::variant<Surround, Failure> {
        const qsizetype start = audio.constData() - file.constData();
        if (sha256Hex(file.first(start)) != original.taggedHeadSHA
            || sha256Hex(file.sliced(start + audio.size())) != original.taggedTailSHA)
            return changed();
        return Surround {original.head, original.tail};
    };
    const auto approve = [&](const Replaced& replaced) -> std::optional<Failure> {
        if (replaced.audioSHA != original.audioSHA)
            return changed();
        return std::nullopt;
    };
    return rewrite(targetPath, original.head.size() + original.tail.size(), folderSync, compose, approve);
}

} // namespace ID3
