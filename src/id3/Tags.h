#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace ID3 {

// The tag values for one file, as handed to the engine. Texts are written as
// they are here; the show decides what goes in (see Show::tags).
struct Tags
{
    QString title;
    QString artist;
    QString albumArtist;
    QString album;
    QString track; // "3/12": the track and the tracks of its release
    QString disc; // "1/2": the disc and the discs of its release
    QString genre;
    QString year;
    QString language;
    QString publisher;
    QString copyright;
    QString comment;
    QString description;
    QString composer;
    QString category;
    QString keywords;
    QString feedURL;
    bool podcastFlag = false;
    std::optional<QByteArray> cover;
    // The CHAP and CTOC frames of the file's old tag go into the new one.
    bool keepChapters = false;
    // So do the frames of its recording: lyrics, ISRC, identifiers, loudness,
    // tempo, key, rating, and its disc number where `disc` is empty.
    bool keepTrackInfo = false;
    // A file whose old tag has a title keeps it; `title` is for the others.
    bool keepTitle = false;
    bool writeID3v1 = true;
    qint64 padding = 1024;

    bool operator==(const Tags&) const = default;
};

// What a successful rewrite did.
struct Outcome
{
    QStringList frames; // frame IDs in tag order, then "ID3v1" when one was appended
    QString audioSHA; // SHA-256 of the audio, 64 lower-case hexadecimal digits
    qint64 bytesWritten = 0;
    QString folder; // the folder that holds the file written, links resolved
    // A file named as this one's recovery copy that was not its own, left alone
    // (its name as a person reads it); empty when there was none.
    QString strayCopy;
    // The first reads of the file disagreed, and it was read and written again.
    bool readAgain = false;
    // The frames of the old tags the new one doesn't carry, named as `frames`
    // names them ("USLT", "TXXX×2").
    QStringList dropped;
    // What the file was given, each file's own values included.
    QString title;
    QString artist;
    QString track;
    QString disc;

    bool operator==(const Outcome&) const = default;
};

// Why a file was not rewritten, with the text a person reads.
struct Failure
{
    enum class Kind { NotMP3, IO, EmptyTitle, AudioChanged, ReadsDiffer };

    Kind kind = Kind::IO;
    QString description;
    // True when the target may have been changed before the failure: only a
    // file that wasn't can be taken as having kept its old content.
    bool touched = false;

    static Failure notMP3(const QString& fileName);
    static Failure io(const QString& message);
    static Failure emptyTitle();
    static Failure audioChanged();
    // The file read differently twice, from one read to the next.
    static Failure readsDiffer(const QString& fileName);

    bool operator==(const Failure&) const = default;
};

} // namespace ID3
