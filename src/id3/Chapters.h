#pragma once

// Chapters a podcaster marked, taken from a file's old tag into its new one: the
// CHAP frames (start and end, a title, sometimes a link or an image) and the CTOC
// tables of contents that list them. Pure functions over bytes.
#include "id3/OldFrames.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace ID3 {

// The chapter frames of every leading ID3v2.3 and ID3v2.4 tag in `head`, in their
// order, made ID3v2.3 frames, their sub-frames too; a CHAP's byte offsets are
// still those of the old file.
QList<KeptFrame> chapterFrames(QByteArrayView head);

// The frames as they go into a tag whose audio starts `shift` bytes later than the
// old one's (earlier when negative): every byte offset a chapter gives is moved by
// that much, so it still points at the same audio; one that no longer fits in its
// four bytes becomes "unused" (FF FF FF FF), which readers take to mean "use the
// times". Other frames go in as they are.
QByteArray keptFrames(const QList<KeptFrame>& frames, qint64 shift);

} // namespace ID3
