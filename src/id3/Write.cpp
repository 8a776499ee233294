#include "id3/Chapters.h"
#include "id3/FileName.h"
#include "id3/ID3.h"
#include "id3/Recovery.h"
#include "id3/Rewrite.h"
#include "id3/Text.h"

#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <future>
#include <memory>

namespace ID3 {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace Rewrite;

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

// What goes around the audio, decided from the tags the target has now.
using Compose
    = std::function<std::variant<Surround, Failure>(QByteArrayView oldHead, QByteArrayView oldTail)>;
// Has the last word once the new file is verified, before it replaces the target.
using Approve = std::function<std::optional<Failure>(const Replaced& replaced)>;

// The verified rewrite that tagging and putting back share: the target's audio
// goes between new head and tail bytes into a temporary file beside it, is
// read back and checked, and only then takes the target's place.
std::variant<Outcome, Failure> rewrite(const QString& targetPath, FolderSync folderSync,
    const Compose& compose, const Approve& approve, const Hooks& hooks)
{
    const QString fileName = FileName::display(QFileInfo(targetPath).fileName());
    int resolveError = 0;
    const std::optional<QString> resolved = resolvedPath(targetPath, resolveError);
    if (!resolved)
        return Failure::io("Can't read "_L1 + fileName + ": "_L1 + FileIO::errorText(resolveError));
    const Recovery::PutBack recovered = Recovery::putBack(*resolved, fileName);
    if (recovered.failure)
        return *recovered.failure;

    auto opened = openSource(*resolved, fileName);
    if (auto* failure = std::get_if<Failure>(&opened))
        return *failure;
    const Source& source = std::get<Source>(opened);
    auto composed = compose(source.head, source.tail);
    if (auto* failure = std::get_if<Failure>(&composed))
        return *failure;
    const Surround& surround = std::get<Surround>(composed);
    const qint64 newSize = surround.head.size() + source.audio.size() + surround.tail.size();

    auto made = makeTemporary(source, fileName);
    if (auto* failure = std::get_if<Failure>(&made))
        return *failure;
    Temporary& temporary = std::get<Temporary>(made);
    // Whatever fails from here, a partial or refused file would only take up space in the user's folder.
    const auto discard = [&](const Failure& failure) -> std::variant<Outcome, Failure> {
        (void)::unlink(FileName::encode(temporary.path).constData());
        return failure;
    };

    const auto written = writeNew(temporary, source, surround, fileName);
    if (const auto* failure = std::get_if<Failure>(&written))
        return discard(*failure);
    const QString& audioSHA = std::get<QString>(written);
    // Flushed before the rename: after a power cut the target holds the old
    // content or the complete new one, never an empty or partial file. The
    // flush waits on the disk while the read-back works from the page cache.
    auto flushed
        = std::async(std::launch::async, [fd = temporary.fd.get()] { return ::fsync(fd) == 0 ? 0 : errno; });
    if (hooks.beforeReadBack)
        hooks.beforeReadBack(temporary.fd.get());
    const bool verified = readsBack(temporary.fd.get(), newSize, surround, audioSHA);
    if (const int error = flushed.get(); error != 0)
        return discard(
            Failure::io("Can't write next to "_L1 + fileName + ": "_L1 + FileIO::errorText(error)));
    if (!verified)
        return discard(Failure::audioChanged());
    if (approve)
        if (auto failure = approve({source.head, source.tail, surround.head, surround.tail, audioSHA}))
            return discard(*failure);

    if (hooks.beforeReplace)
        hooks.beforeReplace(source.path);
    if (!isUnchanged(source))
        return discard(Failure::io(fileName + " changed while it was being tagged; it was left as it is"_L1));
    if (auto failure = replace(temporary, source, surround, audioSHA, folderSync, fileName))
        return *failure;
    return Outcome {{}, audioSHA, newSize, QFileInfo(source.path).path(), recovered.strayCopy};
}

} // namespace

std::variant<Outcome, Failure> write(const Tags& tags, const QString& targetPath, FolderSync folderSync,
    const KeepReplaced& keep, const Hooks& hooks)
{
    const QString fileName = FileName::display(QFileInfo(targetPath).fileName());
    if (QFileInfo(targetPath).suffix().toLower() != "mp3"_L1)
        return Failure::notMP3(fileName);
    if (trimSpaces(tags.title).isEmpty())
        return Failure::emptyTitle();

    BuiltTag frames = buildFrames(tags);
    const qint64 tagSize = headerSize + frames.bytes.size() + qMax<qint64>(tags.padding, 0);
    QStringList frameIds;
    const auto compose = [&](QByteArrayView oldHead, QByteArrayView) -> std::variant<Surround, Failure> {
        // Chapters follow the show's frames, their byte offsets moved with the audio.
        const QList<KeptFrame> chapters = tags.keepChapters ? chapterFrames(oldHead) : QList<KeptFrame>();
        const qint64 audioStart = tagSize + keptSize(chapters);
        // Its header could not say how long such a tag is, so the audio would not
        // read back unchanged; refuse before writing hundreds of megabytes.
        if (audioStart - headerSize >= syncsafeLimit)
            return Failure::audioChanged();
        frames.bytes += keptFrames(chapters, audioStart - oldHead.size());
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
    auto written = rewrite(targetPath, folderSync, compose, approve, hooks);
    if (auto* outcome = std::get_if<Outcome>(&written)) {
        outcome->frames = frameIds;
        if (tags.writeID3v1)
            outcome->frames += QStringLiteral("ID3v1");
    }
    return written;
}

std::variant<Outcome, Failure> restore(
    const Original& original, const QString& targetPath, FolderSync folderSync, const Hooks& hooks)
{
    const QString fileName = FileName::display(QFileInfo(targetPath).fileName());
    const auto changed
        = [&] { return Failure::io(fileName + " was changed after it was tagged; it was left as it is"_L1); };
    // Only the very file that was written goes back: same tag bytes, same audio.
    const auto compose
        = [&](QByteArrayView oldHead, QByteArrayView oldTail) -> std::variant<Surround, Failure> {
        if (sha256Hex(oldHead) != original.taggedHeadSHA || sha256Hex(oldTail) != original.taggedTailSHA)
            return changed();
        return Surround {original.head, original.tail};
    };
    const auto approve = [&](const Replaced& replaced) -> std::optional<Failure> {
        if (replaced.audioSHA != original.audioSHA)
            return changed();
        return std::nullopt;
    };
    return rewrite(targetPath, folderSync, compose, approve, hooks);
}

} // namespace ID3
