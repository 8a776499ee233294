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
// end), and finds its audio, which must start like MPEG audio.
std::variant<Source, Failure> openSource(const QString& path, const QString& fileName);

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

// Writes the new head, the target's audio and the new tail; gives the audio's
// digest, taken as it passes.
std::variant<QString, Failure> writeNew(
    const Temporary& temporary, const Source& source, const Surround& surround, const QString& fileName);

// Reads the new file back: exactly `size` bytes, the head and the tail byte for
// byte, and between them, cut by the same rules as any file, audio with the
// digest taken as it was written.
bool readsBack(int fd, qint64 size, const Surround& surround, const QString& audioSHA);

// True while the name still leads to the file that was read, unchanged: an
// editor or a download still writing it must not lose its bytes to the rename.
bool isUnchanged(const Source& source);

// The verified new file takes the target's place: by a rename, or, for a file
// with more than one name, by writing it in place from the recovery copy.
std::optional<Failure> replace(Temporary& temporary, const Source& source, const Surround& surround,
    const QString& audioSHA, FolderSync folderSync, const QString& fileName);

} // namespace ID3::Rewrite
