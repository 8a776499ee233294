#include "id3/Chapters.h"
#include "id3/FileName.h"
#include "id3/ID3.h"
#include "id3/Recovery.h"
#include "id3/Rewrite.h"
#include "id3/Stream.h"
#include "id3/Text.h"

#include <QFileInfo>
#include <QSet>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
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
using Compose = std::function<std::variant<Surround, Failure>(
    QByteArrayView oldHead, QByteArrayView oldTail, const Range& audio)>;
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
    auto composed = compose(source.head, source.tail, source.audio);
    if (auto* failure = std::get_if<Failure>(&composed))
        return *failure;
    const Surround& surround = std::get<Surround>(composed);
    const qint64 size = surround.head.size() + source.audio.size() + surround.tail.size();
    const QString folder = QFileInfo(source.path).path();
    if (options.dryRun) {
        // Everything a write could tell before it writes; the audio is read only
        // where the last word needs its digest (putting back does).
        QString audioSHA;
        if (approve) {
            const auto digest = Stream::digest(source.fd.get(), source.audio);
            if (const auto* trouble = std::get_if<Stream::Trouble>(&digest))
                return Failure::io("Can't read "_L1 + fileName + ": "_L1
                    + FileIO::errorText(trouble->shortened ? EIO : trouble->error));
            audioSHA = std::get<QString>(digest);
            if (auto failure = approve({source.head, source.tail, surround.head, surround.tail, audioSHA}))
                return *failure;
        }
        Outcome outcome;
        outcome.audioSHA = audioSHA;
        outcome.bytesWritten = size;
        outcome.folder = folder;
        return outcome;
    }

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
    Outcome outcome;
    outcome.audioSHA = audioSHA;
    outcome.bytesWritten = size;
    outcome.folder = folder;
    outcome.readAgain = std::get<Placed>(placed).readAgain;
    return outcome;
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
    // A dry run puts nothing back: it looks at the file as it is.
    const Recovery::PutBack recovered
        = options.dryRun ? Recovery::PutBack() : Recovery::putBack(*resolved, fileName, options.tieFolder);
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
// The frames of a file's old tags that belong to the recording rather than to
// the release: lyrics (plain and timed), its ISRC, identifiers, loudness,
// tempo, key, rating and play count, and the disc number where the show
// writes none.
constexpr std::array<QByteArrayView, 11> trackInfoIds {
    "USLT", "SYLT", "TSRC", "UFID", "TXXX", "RVA2", "TBPM", "TKEY", "POPM", "PCNT", "TPOS"};

QString firstText(const QList<KeptFrame>& frames, QByteArrayView id)
{
    const auto found
        = std::find_if(frames.cbegin(), frames.cend(), [&](const KeptFrame& f) { return f.id == id; });
    return found == frames.cend() ? QString() : textOf(*found);
}

// "n/N" with the old tag's total instead of N when that is larger: one track of
// a twelve-track release, tagged on its own, stays "5/12".
QString withLargerTotal(const QString& number, const QString& old)
{
    const qsizetype slash = number.indexOf(u'/');
    if (slash < 0)
        return number;
    const int ours = number.sliced(slash + 1).toInt();
    const qsizetype oldSlash = old.indexOf(u'/');
    const int theirs = oldSlash < 0 ? 0 : old.sliced(oldSlash + 1).trimmed().toInt();
    return theirs > ours ? number.first(slash + 1) + QString::number(theirs) : number;
}

// The frames of the old tags a new one keeps: each once (the first tag's,
// which readers read), and none the show writes itself.
QList<KeptFrame> trackInfo(const QList<KeptFrame>& old, const QStringList& written)
{
    QList<KeptFrame> kept;
    QSet<QByteArray> seen;
    for (const KeptFrame& frame : old) {
        if (std::find(trackInfoIds.cbegin(), trackInfoIds.cend(), frame.id) == trackInfoIds.cend()
            || written.contains(QString::fromLatin1(frame.id)))
            continue;
        const QByteArray identity = identityOf(frame);
        if (seen.contains(identity))
            continue;
        seen.insert(identity);
        kept.append(frame);
    }
    return kept;
}

// The new tag for one file: the show's values with what the file keeps of its
// own (its title, the totals of its numbers, the frames of its recording and
// its chapters, which follow the show's frames), the values it was made from,
// and the old frames it doesn't carry.
struct Composed
{
    BuiltTag tag;
    Tags values;
    QStringList dropped;
};

std::variant<Composed, Failure> composeTag(
    const Tags& tags, QByteArrayView oldHead, const Range& oldAudio, const QString& fileName)
{
    const QList<KeptFrame> old = oldFrames(oldHead);
    Tags fileTags = tags;
    if (tags.keepTitle) {
        const QString own = firstText(old, "TIT2");
        if (!trimSpaces(own).isEmpty())
            fileTags.title = own;
        if (trimSpaces(fileTags.title).isEmpty())
            return Failure::emptyTitle();
    }
    fileTags.track = withLargerTotal(tags.track, firstText(old, "TRCK"));
    fileTags.disc = withLargerTotal(tags.disc, firstText(old, "TPOS"));
    BuiltTag tag = buildFrames(fileTags);
    QStringList carried = tag.frames;
    QList<KeptFrame> kept = tags.keepTrackInfo ? trackInfo(old, tag.frames) : QList<KeptFrame>();
    if (tags.keepChapters)
        kept += soundChapters(old);
    // A chapter kept with a shorter table, or once of two tags, is kept all the same.
    QSet<QByteArray> keptIdentities;
    for (const KeptFrame& frame : kept)
        keptIdentities.insert(identityOf(frame));
    const auto keeps = [&](const KeptFrame& frame) {
        return kept.contains(frame)
            || ((frame.id == "CHAP" || frame.id == "CTOC") && keptIdentities.contains(identityOf(frame)));
    };
    QList<KeptFrame> dropped;
    for (const KeptFrame& frame : old)
        if (!carried.contains(QString::fromLatin1(frame.id)) && !keeps(frame))
            dropped.append(frame);
    const qint64 audioStart = headerSize + tag.bytes.size() + qMax<qint64>(tags.padding, 0) + keptSize(kept);
    // Its header could not say how long such a tag is; refuse before writing
    // hundreds of megabytes.
    if (audioStart - headerSize >= syncsafeLimit)
        return Failure::io("The new tag of "_L1 + fileName
            + " would be larger than an ID3v2 tag can be (256 MB); the file was left as it is"_L1);
    // Chapters' byte offsets move with the audio.
    tag.bytes += keptFrames(kept, oldAudio, audioStart);
    tag.frames += keptNames(kept);
    return Composed {finishTag(std::move(tag), tags.padding), fileTags, keptNames(dropped)};
}

} // namespace

std::variant<Outcome, Failure> write(
    const Tags& tags, const QString& targetPath, const Options& options, const KeepReplaced& keep)
{
    const QString fileName = FileName::display(QFileInfo(targetPath).fileName());
    if (QFileInfo(targetPath).suffix().toLower() != "mp3"_L1)
        return Failure::notMP3(fileName);
    // A file that keeps its own title may have one; the others are refused before they are read.
    if (!tags.keepTitle && trimSpaces(tags.title).isEmpty())
        return Failure::emptyTitle();

    std::optional<Composed> made;
    const auto compose
        = [&](QByteArrayView oldHead, QByteArrayView, const Range& audio) -> std::variant<Surround, Failure> {
        auto composed = composeTag(tags, oldHead, audio, fileName);
        if (const auto* failure = std::get_if<Failure>(&composed))
            return *failure;
        made = std::move(std::get<Composed>(composed));
        return Surround {made->tag.bytes, tags.writeID3v1 ? id3v1(made->values) : QByteArray()};
    };
    Approve approve;
    if (keep)
        approve = [&keep](const Replaced& replaced) -> std::optional<Failure> {
            keep(replaced);
            return std::nullopt;
        };
    auto result = rewrite(targetPath, compose, approve, options);
    if (auto* outcome = std::get_if<Outcome>(&result); outcome && made) {
        outcome->frames = made->tag.frames;
        if (tags.writeID3v1)
            outcome->frames += QStringLiteral("ID3v1");
        outcome->dropped = made->dropped;
        outcome->title = made->values.title;
        outcome->artist = made->values.artist;
        outcome->track = made->values.track;
        outcome->disc = made->values.disc;
    }
    return result;
}

std::variant<Outcome, Failure> restore(
    const Original& original, const QString& targetPath, const Options& options)
{
    const QString fileName = FileName::display(QFileInfo(targetPath).fileName());
    const auto changed
        = [&] { return Failure::io(fileName + " was changed after it was tagged; it was left as it is"_L1); };
    // Only the very file that was written goes back: same tag bytes, same audio.
    const auto compose = [&](QByteArrayView oldHead, QByteArrayView oldTail,
                             const Range&) -> std::variant<Surround, Failure> {
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
