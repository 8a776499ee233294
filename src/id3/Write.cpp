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

// One go of the verified rewrite: the target's audio goes between new head and
// tail bytes into a temporary file beside it, which is read back and checked
// against a second read of the target, and only then takes the target's place.
std::variant<Outcome, Failure> rewriteOnce(const QString& path, const QString& fileName, bool afresh,
    const Compose& compose, const Approve& approve, const Options& options)
{
    auto opened = openSource(path, fileName, afresh);
    if (auto* failure = std::get_if<Failure>(&opened))
        return *failure;
    const Source& source = std::get<Source>(opened);
    auto composed = compose(source.head, source.tail);
    if (auto* failure = std::get_if<Failure>(&composed))
        return *failure;
    const Surround& surround = std::get<Surround>(composed);

    auto made = makeTemporary(source, fileName);
    if (auto* failure = std::get_if<Failure>(&made))
        return *failure;
    Temporary& temporary = std::get<Temporary>(made);
    // Whatever fails from here, a partial or refused file would only take up space in the user's folder.
    const auto discard = [&](const Failure& failure) -> std::variant<Outcome, Failure> {
        (void)::unlink(FileName::encode(temporary.path).constData());
        return failure;
    };

    if (options.hooks.beforeCopy)
        options.hooks.beforeCopy(source.path);
    const auto written = writeNew(temporary, source, surround, fileName);
    if (const auto* failure = std::get_if<Failure>(&written))
        return discard(*failure);
    const QString& audioSHA = std::get<QString>(written);
    if (options.hooks.beforeReadBack)
        options.hooks.beforeReadBack(temporary.fd.get());
    if (const auto failure = confirm(temporary, source, surround, fileName))
        return discard(*failure);
    // Flushed before the rename: after a power cut the target holds the old
    // content or the complete new one, never an empty or partial file.
    if (::fsync(temporary.fd.get()) != 0)
        return discard(
            Failure::io("Can't write next to "_L1 + fileName + ": "_L1 + FileIO::errorText(errno)));
    if (approve)
        if (auto failure = approve({source.head, source.tail, surround.head, surround.tail, audioSHA}))
            return discard(*failure);

    if (options.hooks.beforeReplace)
        options.hooks.beforeReplace(source.path);
    if (!isUnchanged(source))
        return discard(Failure::io(fileName + " changed while it was being tagged; it was left as it is"_L1));
    const auto placed
        = replace(temporary, source, surround, audioSHA, options.folderSync, options.tieFolder, fileName);
    if (const auto* failure = std::get_if<Failure>(&placed))
        return *failure;
    const qint64 size = surround.head.size() + source.audio.size() + surround.tail.size();
    return Outcome {
        {}, audioSHA, size, QFileInfo(source.path).path(), {}, std::get<Placed>(placed).readAgain};
}

// The verified rewrite that tagging and putting back share. A file whose reads
// disagree goes once more from the start, every byte read afresh from the file
// system; reads that disagree again leave it as it was.
std::variant<Outcome, Failure> rewrite(
    const QString& targetPath, const Compose& compose, const Approve& approve, const Options& options)
{
    const QString fileName = FileName::display(QFileInfo(targetPath).fileName());
    int resolveError = 0;
    const std::optional<QString> resolved = resolvedPath(targetPath, resolveError);
    if (!resolved)
        return Failure::io("Can't read "_L1 + fileName + ": "_L1 + FileIO::errorText(resolveError));
    const Recovery::PutBack recovered = Recovery::putBack(*resolved, fileName, options.tieFolder);
    if (recovered.failure)
        return *recovered.failure;

    auto written = rewriteOnce(*resolved, fileName, false, compose, approve, options);
    const auto* failure = std::get_if<Failure>(&written);
    const bool again = failure && failure->kind == Failure::Kind::ReadsDiffer;
    if (again)
        written = rewriteOnce(*resolved, fileName, true, compose, approve, options);
    if (auto* outcome = std::get_if<Outcome>(&written)) {
        outcome->strayCopy = recovered.strayCopy;
        outcome->readAgain = outcome->readAgain || again;
    }
    return written;
}
} // namespace

std::variant<Outcome, Failure> write(
    const Tags& tags, const QString& targetPath, const Options& options, const KeepReplaced& keep)
{
    const QString fileName = FileName::display(QFileInfo(targetPath).fileName());
    if (QFileInfo(targetPath).suffix().toLower() != "mp3"_L1)
        return Failure::notMP3(fileName);
    if (trimSpaces(tags.title).isEmpty())
        return Failure::emptyTitle();

    const BuiltTag frames = buildFrames(tags);
    const qint64 tagSize = headerSize + frames.bytes.size() + qMax<qint64>(tags.padding, 0);
    QStringList frameIds;
    const auto compose = [&](QByteArrayView oldHead, QByteArrayView) -> std::variant<Surround, Failure> {
        // Chapters follow the show's frames, their byte offsets moved with the audio.
        const QList<KeptFrame> chapters = tags.keepChapters ? chapterFrames(oldHead) : QList<KeptFrame>();
        const qint64 audioStart = tagSize + keptSize(chapters);
        // Its header could not say how long such a tag is; refuse before writing
        // hundreds of megabytes.
        if (audioStart - headerSize >= syncsafeLimit)
            return Failure::io("The new tag of "_L1 + fileName
                + " would be larger than an ID3v2 tag can be (256 MB); the file was left as it is"_L1);
        BuiltTag tag = frames; // a file read again is composed again
        tag.bytes += keptFrames(chapters, audioStart - oldHead.size());
        tag.frames += keptNames(chapters);
        tag = finishTag(std::move(tag), tags.padding);
        frameIds = tag.frames;
        return Surround {std::move(tag.bytes), tags.writeID3v1 ? id3v1(tags) : QByteArray()};
    };
    Approve approve;
    if (keep)
        approve = [&keep](const Replaced& replaced) -> std::optional<Failure> {
            keep(replaced);
            return std::nullopt;
        };
    auto written = rewrite(targetPath, compose, approve, options);
    if (auto* outcome = std::get_if<Outcome>(&written)) {
        outcome->frames = frameIds;
        if (tags.writeID3v1)
            outcome->frames += QStringLiteral("ID3v1");
    }
    return written;
}

std::variant<Outcome, Failure> restore(
    const Original& original, const QString& targetPath, const Options& options)
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
    return rewrite(targetPath, compose, approve, options);
}

} // namespace ID3
