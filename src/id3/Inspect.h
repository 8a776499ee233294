#pragma once

// A file's tags as they are, for people and scripts to look at: every leading
// ID3v2 tag with its frames, the ID3v1 tag, whether an APE tag is there, and the
// audio with the digest that tagging protects. It reads the file and writes
// nothing.
#include "id3/Tags.h"

#include <QList>
#include <QString>

#include <utility>
#include <variant>

namespace ID3 {

// Names and values, as a frame or the ID3v1 tag has them.
using Fields = QList<std::pair<QString, QString>>;

struct InspectedFrame
{
    QString id;
    qint64 size = 0; // of its body, as ID3v2.3 has it
    Fields fields;
};

struct InspectedTag
{
    QString version; // "2.4.0"
    qint64 size = 0; // header and footer included
    QList<InspectedFrame> frames;
};

struct Inspection
{
    QList<InspectedTag> tags;
    Fields id3v1; // empty: none
    bool ape = false;
    qint64 audioSize = 0;
    QString audioSHA;
};

// Refuses what --tag refuses before writing: a name without the .mp3
// extension, a file it can't read, one whose audio doesn't start like MPEG.
std::variant<Inspection, Failure> inspect(const QString& path);

// What it found, for people: a line for each tag, each frame (a single text as
// it is, other fields as "name value" pairs), the ID3v1 tag, the APE tag and
// the audio, each indented by two spaces, frames by four.
QStringList inspectionLines(const Inspection& inspection);

} // namespace ID3
