#pragma once

// The recovery copy of a file written in place: the verified new file, kept
// beside the target under a hidden name until the target holds the same bytes.
// A copy is tied to the one write that made it, so that a file of that name
// planted by someone else, or left by a write long past, is never taken for it.
#include "id3/Tags.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <sys/stat.h>

#include <optional>

namespace ID3::Recovery {

// The extended attribute that ties a copy to its file. It is Pelamo's own and
// never copied from one file to another.
inline constexpr char tieAttribute[] = "user.pelamo.recovery";

// What a copy records of the write it belongs to.
struct Tie
{
    dev_t device = 0;
    ino_t inode = 0;
    uid_t owner = 0;
    QString audioSHA; // of the audio the copy carries
    QString surroundSHA; // of the bytes before the audio followed by those after it

    QByteArray text() const;
    static std::optional<Tie> parse(QByteArrayView text);
    // The tie of a copy made for `target`, with this audio between these tags.
    static Tie of(
        const struct stat& target, const QString& audioSHA, QByteArrayView head, QByteArrayView tail);
    bool operator==(const Tie&) const = default;
};

// Makes the verified new file, open as `fd` under the name `temporary`, the
// recovery copy its tie says it is: records the tie and gives the file the
// recovery name without replacing anything found there. The tie goes into the
// copy's extended attribute, or, on a file system that keeps none, into a
// record in `tieFolder` when one is given. Returns 0, or the errno of the step
// that failed (EEXIST: another file has the name).
int keep(int fd, const QString& temporary, const QString& recovery, const Tie& tie, const QString& tieFolder);
// Removes the copy once the target holds its bytes, and its record.
void drop(const QString& recovery, const Tie& tie, const QString& tieFolder);
// Why a write in place can't begin while a file has its copy's name.
QString inTheWay(const QString& fileName, const QString& copyName);

struct PutBack
{
    std::optional<Failure> failure;
    QString strayCopy; // a copy that was not this file's, left alone (its display name)
};
// Before the target is read: a write in place that was cut short gets its
// verified copy back, when the copy is the file's own. It is not when it
// belongs to another user, carries no tie for this very file (in its attribute
// or in `tieFolder`), or the target has since become a complete MP3 file with
// other audio; such a copy stays as it is, and is named.
PutBack putBack(const QString& targetPath, const QString& fileName, const QString& tieFolder);

} // namespace ID3::Recovery
