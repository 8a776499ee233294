#pragma once

#include "id3/Tags.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QLatin1StringView>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>
#include <utility>
#include <variant>

// The tag engine: pure functions over byte buffers and texts, plus write(),
// the one function that touches the disk.
namespace ID3 {

// ID3v2 tag and frame headers (the same ten bytes in both).
inline constexpr qsizetype headerSize = 10;
inline constexpr qsizetype frameHeaderSize = 10;
inline constexpr qsizetype frameIdSize = 4;
inline constexpr qsizetype footerSize = 10;
inline constexpr char footerFlag = 0x10;
inline constexpr qsizetype headerFlagsOffset = 5;
inline constexpr qsizetype headerSizeOffset = 6;
// The tag size is syncsafe: 28 bits, so a tag of this many bytes or more after
// its header can't be described.
inline constexpr qint64 syncsafeLimit = qint64(1) << 28;

// ID3v1: "TAG", four 30/30/30/4 text fields, a 28-byte comment, the track marker,
// the track number and the genre byte.
inline constexpr qsizetype v1Size = 128;
inline constexpr qsizetype v1MagicSize = 3;
inline constexpr qsizetype v1FieldWidth = 30;
inline constexpr qsizetype v1YearWidth = 4;
inline constexpr qsizetype v1CommentWidth = 28;
inline constexpr quint8 noGenre = 255;

// APEv2 footer (and header): "APETAGEX", version, tag size, item count, flags, reserved.
inline constexpr qsizetype apeFooterSize = 32;
inline constexpr qsizetype apeMagicSize = 8;
inline constexpr qsizetype apeSizeOffset = 12;

// MPEG audio starts with eleven set bits; fewer bytes than this can't hold a frame header.
inline constexpr qsizetype mpegMinimumSize = 5;

// Integers.
QByteArray be32(qint64 value);
QByteArray syncsafe(qint64 value);

// Texts.
QByteArray utf16(const QString& text);
QByteArray latin1Bytes(const QString& text);
QByteArray latin1(const QString& text, qsizetype width);
QString iso639_2(const QString& language);
// A year or a date as ID3v2.3 has it: TYER with the year, and for a date
// ("2025-11-03", "2025-11-03T09:30") TDAT with day and month "DDMM" and TIME
// with hours and minutes "HHMM". Only a text that starts with four digits and
// a "-" is read as a date; any other goes into TYER whole. Nothing for an empty text.
QList<std::pair<QLatin1StringView, QString>> yearFrames(const QString& text);

// Frames.
QByteArray frame(QLatin1StringView id, const QByteArray& body);
QByteArray textFrame(QLatin1StringView id, const QString& text);
QByteArray commentFrame(const QString& text, const QString& language);
QByteArray pictureFrame(const QByteArray& image);

struct BuiltTag
{
    QByteArray bytes; // header, frames, padding
    QStringList frames; // frame IDs in the order written
};
BuiltTag buildTag(const Tags& tags);

// buildTag in two steps: the frames alone, then header and padding around them.
// write() looks at the size in between, so that a tag too large for its header
// is refused before its padding is allocated or any byte reaches the disk.
BuiltTag buildFrames(const Tags& tags);
BuiltTag finishTag(BuiltTag frames, qint64 padding);

// Existing tags. The result is a view into the given buffer.
QByteArrayView stripTags(QByteArrayView data);

// A stretch of a file's bytes, from `begin` up to but not including `end`.
struct Range
{
    qint64 begin = 0;
    qint64 end = 0;

    qint64 size() const { return end - begin; }
    bool operator==(const Range&) const = default;
};
// The bytes at an offset of a file or buffer, up to `length` of them (fewer at its end).
using ByteReader = std::function<QByteArray(qint64 offset, qint64 length)>;
// Where the audio of `size` bytes lies: what stripTags leaves, found by reading
// only the few bytes the rules look at, at either end.
Range audioRange(qint64 size, const ByteReader& read);
// The whole length of the ID3v2 tag whose ten header bytes are given, header
// and footer included, as stripTags() reads it.
qint64 id3v2TagLength(QByteArrayView header);
// Whether audio starts like MPEG audio; only its first mpegMinimumSize bytes count.
bool looksLikeMP3(QByteArrayView data);

// ID3v1.
QByteArray id3v1(const Tags& tags);
// The track byte of ID3v1.1: the number before the "/" of a TRCK text, when it is 1 to 255.
quint8 v1Track(const QString& track);
quint8 genreIndex(const QString& name);
const QStringList& genres();

// SHA-256 of the bytes, as 64 lower-case hexadecimal digits.
QString sha256Hex(QByteArrayView data);

// Gives the file a fresh tag, or leaves it byte for byte as it was, with its
// attributes and every name it has. A file whose earlier in-place rewrite was
// cut short is first put back from the verified copy that run left beside it.
// The file is copied, read back and checked in pieces, in memory that doesn't
// grow with it; its audio must read the same twice, the second time from the
// file system rather than from the page cache, and the new file must hold it.
//
// The new file's name is made durable by flushing its folder. A batch that asks
// for FolderSync::Later flushes every Outcome::folder once at its end instead:
// until then a power cut leaves either the old or the new complete file.
enum class FolderSync { Now, Later };

// The bytes around the audio that a rewrite takes out and puts in: enough to
// put the file back as it was.
struct Replaced
{
    QByteArrayView oldHead; // every leading tag that was cut
    QByteArrayView oldTail; // the trailing tags that were cut
    QByteArrayView newHead;
    QByteArrayView newTail;
    QString audioSHA;
};
// Called once the new file is verified, just before it replaces the target.
using KeepReplaced = std::function<void(const Replaced& replaced)>;

// Seams for tests, given per call: they run between the steps of a rewrite.
struct Hooks
{
    // The target's tags are read and the new file made; the audio is copied next
    // (the target's path, links resolved).
    std::function<void(const QString& path)> beforeCopy;
    // The new file is written, its audio checked; its tags are read back next.
    std::function<void(int fd)> beforeReadBack;
    // The new file is verified; it replaces the target next (the target's path, links resolved).
    std::function<void(const QString& path)> beforeReplace;
};

// How a rewrite fits in with the work around it.
struct Options
{
    FolderSync folderSync = FolderSync::Now;
    // Where the tie of a recovery copy is kept when the copy can't hold it as
    // an extended attribute (the library's "Recovery" folder). Without one,
    // such a copy can only be put back by hand.
    QString tieFolder;
    Hooks hooks;
    // Everything but the writing: the file is read and its new tag made, and
    // what would be written comes back, with every failure that can be known
    // before writing. Nothing on disk changes, and no copy is put back.
    bool dryRun = false;
};

std::variant<Outcome, Failure> write(
    const Tags& tags, const QString& targetPath, const Options& options = {}, const KeepReplaced& keep = {});

// A file as it was before write(): what it took out, and the digests of what it
// put in (sha256Hex of Replaced's newHead and newTail).
struct Original
{
    QByteArray head;
    QByteArray tail;
    QString audioSHA;
    QString taggedHeadSHA;
    QString taggedTailSHA;
};
// Puts the old head and tail back around the file's audio through the same
// verified rewrite, so the file's bytes are again the original's. A file whose
// tag bytes or audio are no longer those written is left as it is.
std::variant<Outcome, Failure> restore(
    const Original& original, const QString& targetPath, const Options& options = {});
// Flushes a folder's entries to disk.
void syncFolder(const QString& folder);

// Removes the temporary files that rewrites killed before their end left in
// the folder (only names of write()'s own pattern, and none in use); returns
// how many went.
int removeLeftovers(const QString& folder);
// True for the names of write()'s temporary files.
bool isTemporaryName(const QString& fileName);

} // namespace ID3
