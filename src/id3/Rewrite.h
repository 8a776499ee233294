#pragma once

// The steps of the verified rewrite that tagging and putting back share: open
// the target and find its audio, make and lock the temporary file beside it,
// write the new file, read it back, and let it take the target's place. Each
// step reads and writes in pieces; what stays in memory is the tags.
#include "id3/FileIO.h"
#include "id3/ID3.h"

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

#include <optional>
#include <variant>

namespace ID3::Rewrite {

// The target as it was found: the open file, where its audio lies, and the
// tags around it.
struct Source
{
    QString path; // with links resolved
    struct stat status
    {
    };
    FileIO::Attributes attributes;
    FileIO::FileDescriptor fd;
    Range audio;
    QByteArray head; // every leading tag
    QByteArray tail; // the trailing tags
};
// Opens the target, a regular file (a FIFO or a device would block or never
// end), and finds its audio, which must start like MPEG audio. `afresh` drops
// what the page cache holds of it first, so that every byte is read from the
// file system again.
std::variant<Source, Failure> openSource(const QString& path, const QString& fileName, bool afresh);

// What a rewrite puts around the audio.
struct Surround
{
    QByteArray head;
    QByteArray tail;
};

// The new file, beside the target under a name of write()'s own, locked while
// it is in use so that no clean-up takes it.
struct Temporary
{
    QString path;
    FileIO::FileDescriptor fd;
};
// Creates it with the target's owner, group, mode and extended attributes.
std::variant<Temporary, Failure> makeTemporary(const Source& source, const QString& fileName);

// Writes the new head, the target's audio and the new tail, the audio checked
// piece by piece as it goes against a second read of the whole target. Gives
// the audio's digest, or a failure of kind ReadsDiffer when the reads disagree.
std::variant<QString, Failure> writeNew(
    const Temporary& temporary, const Source& source, const Surround& surround, const QString& fileName);

// Checks the whole new file once it is written: it holds exactly the head and
// the tail written, and the strip rules find its audio where it was put.
std::optional<Failure> confirm(
    const Temporary& temporary, const Source& source, const Surround& surround, const QString& fileName);

// True while the name still leads to the file that was read, unchanged: an
// editor or a download still writing it must not lose its bytes to the rename.
bool isUnchanged(const Source& source);

// The verified new file takes the target's place: by a rename, or, for a file
// with more than one name, by writing it in place from the recovery copy.
// The tie of a recovery copy goes into `tieFolder` where the copy can't hold it.
struct Placed
{
    bool readAgain = false; // the write in place read its copy again
};
std::variant<Placed, Failure> replace(Temporary& temporary, const Source& source, const Surround& surround,
    const QString& audioSHA, FolderSync folderSync, const QString& tieFolder, const QString& fileName);

} // namespace ID3::Rewrite
