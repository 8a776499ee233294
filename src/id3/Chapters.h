#pragma once

// Chapters a podcaster marked, taken from a file's old tag into its new one: the
// CHAP frames (start and end, a title, sometimes a link or an image) and the CTOC
// tables of contents that list them. Pure functions over bytes.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QStringList>

namespace ID3 {

// A CHAP or CTOC frame as ID3v2.3 has it, its sub-frames included; a CHAP's byte
// offsets are still those of the old file.
struct KeptFrame
{
    QByteArray id;
    QByteArray body;

    bool operator==(const KeptFrame&) const = default;
};

// The chapter frames of every leading ID3v2.3 and ID3v2.4 tag in `head`, in their
// order, made ID3v2.3 frames: plain 32-bit sizes, no unsynchronisation, and text
// in UTF-16 with a byte-order mark where it was UTF-8 or UTF-16 without one. A
// frame that can't be read whole, or is compressed or encrypted, is left out.
QList<KeptFrame> chapterFrames(QByteArrayView head);

// The frames as they go into a tag whose audio starts `shift` bytes later than the
// old one's (earlier when negative): every byte offset a chapter gives is moved by
// that much, so it still points at the same audio; one that no longer fits in its
// four bytes becomes "unused" (FF FF FF FF), which readers take to mean "use the times".
QByteArray keptFrames(const QList<KeptFrame>& frames, qint64 shift);
qint64 keptSize(const QList<KeptFrame>& frames);

// The frames' IDs for a result line, each once with its count: "CHAP×12", "CTOC".
QStringList keptNames(const QList<KeptFrame>& frames);

} // namespace ID3
