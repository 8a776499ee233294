#include "id3/Chapters.h"

#include "id3/ID3.h"

#include <QSet>

#include <algorithm>

namespace ID3 {
namespace {

// A chapter's times: start and end time, then start and end offset.
constexpr qsizetype chapterOffsetsAt = 8;
constexpr qint64 unusedOffset = 0xFFFFFFFF;

qint64 be32At(QByteArrayView data, qsizetype at)
{
    qint64 value = 0;
    for (qsizetype i = 0; i < 4; ++i)
        value = (value << 8) | quint8(data[at + i]);
    return value;
}

bool isChapter(const KeptFrame& frame)
{
    return frame.id == "CHAP" || frame.id == "CTOC";
}

} // namespace

QList<KeptFrame> chapterFrames(QByteArrayView head)
{
    QList<KeptFrame> chapters;
    for (KeptFrame& frame : oldFrames(head))
        if (isChapter(frame))
            chapters.append(std::move(frame));
    return chapters;
}

QList<KeptFrame> soundChapters(const QList<KeptFrame>& frames)
{
    // Each element once: the first, which is the first tag's, as readers read it.
    QList<std::pair<KeptFrame, Container>> kept;
    QSet<QByteArray> elements;
    for (const KeptFrame& frame : frames) {
        if (!isChapter(frame))
            continue;
        auto container = containerOf(frame);
        if (!container || elements.contains(container->element))
            continue;
        elements.insert(container->element);
        kept.append({frame, std::move(*container)});
    }
    // A table lists only what is there; one left listing nothing goes, which
    // may leave a table that listed it with nothing in turn.
    for (bool changed = true; changed;) {
        changed = false;
        for (qsizetype i = kept.size() - 1; i >= 0; --i) {
            Container& table = kept[i].second;
            if (kept[i].first.id != "CTOC")
                continue;
            const qsizetype before = table.children.size();
            table.children.removeIf([&](const QByteArray& child) { return !elements.contains(child); });
            if (table.children.isEmpty()) {
                elements.remove(table.element);
                kept.removeAt(i);
                changed = true;
            } else if (table.children.size() != before) {
                kept[i].first.body = bodyOf(kept[i].first.id, table);
            }
        }
    }
    // One table at the top, the first; any other stays as a table of its own.
    bool topFound = false;
    for (auto& [frame, container] : kept) {
        if (frame.id != "CTOC" || !(container.flags & Container::topLevel))
            continue;
        if (topFound) {
            container.flags &= ~Container::topLevel;
            frame.body = bodyOf(frame.id, container);
        }
        topFound = true;
    }
    QList<KeptFrame> out;
    for (auto& [frame, container] : kept)
        out.append(std::move(frame));
    return out;
}

QByteArray keptFrames(const QList<KeptFrame>& frames, const Range& oldAudio, qint64 audioStart)
{
    QByteArray out;
    for (const KeptFrame& kept : frames) {
        QByteArray body = kept.body;
        if (kept.id == "CHAP") {
            const qsizetype offsets = body.indexOf('\0') + 1 + chapterOffsetsAt;
            for (const qsizetype at : {offsets, offsets + 4}) {
                const qint64 offset = be32At(body, at);
                if (offset == unusedOffset)
                    continue;
                // An offset into the old tags, or past the audio, points at nothing.
                const qint64 moved = offset - oldAudio.begin + audioStart;
                const bool inAudio = offset >= oldAudio.begin && offset <= oldAudio.end;
                body.replace(at, 4, be32(inAudio && moved < unusedOffset ? moved : unusedOffset));
            }
        }
        out += frame(QLatin1StringView(kept.id), body);
    }
    return out;
}

} // namespace ID3
