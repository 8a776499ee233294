#pragma once

// Chapters a podcaster marked, taken from a file's old tag into its new one: the
// CHAP frames (start and end, a title, sometimes a link or an image) and the CTOC
// tables of contents that list them. Pure functions over bytes.
#include "id3/ID3.h"
#include "id3/OldFrames.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace ID3 {

// The chapter frames of every leading ID3v2.3 and ID3v2.4 tag in `head`, in their
// order, made ID3v2.3 frames, their sub-frames too; a CHAP's byte offsets are
// still those of the old file.
QList<KeptFrame> chapterFrames(QByteArrayView head);

// The chapters of a file's old frames as a player can follow them: each element
// once, the first; tables listing only chapters and tables that are there, and
// left out when they list nothing; at most one table at the top.
QList<KeptFrame> soundChapters(const QList<KeptFrame>& frames);

// The frames as they go into a tag whose audio starts at `audioStart`, the old
// audio having lain at `oldAudio`: every byte offset a chapter gives is moved
// with the audio, so it still points at the same audio. One that pointed into
// the old tags or past the audio, or that no longer fits in its four bytes,
// becomes "unused" (FF FF FF FF), which readers take to mean "use the times".
// Other frames go in as they are.
QByteArray keptFrames(const QList<KeptFrame>& frames, const Range& oldAudio, qint64 audioStart);

} // namespace ID3
