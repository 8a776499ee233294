#include "id3/Chapters.h"

#include "id3/ID3.h"

namespace ID3 {
namespace {

// A CHAP body after its element ID: start and end time, then start and end offset.
constexpr qsizetype chapterOffsetsAt = 8;
constexpr qint64 unusedOffset = 0xFFFFFFFF;

qint64 be32At(QByteArrayView data, qsizetype at)
{
    qint64 value = 0;
    for (qsizetype i = 0; i < 4; ++i)
        value = (value << 8) | quint8(data[at + i]);
    return value;
}

} // namespace

QList<KeptFrame> chapterFrames(QByteArrayView head)
{
    QList<KeptFrame> chapters;
    for (KeptFrame& frame : oldFrames(head))
        if (frame.id == "CHAP" || frame.id == "CTOC")
            chapters.append(std::move(frame));
    return chapters;
}

QByteArray keptFrames(const QList<KeptFrame>& frames, qint64 shift)
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
                const qint64 moved = offset + shift;
                body.replace(at, 4, be32(moved >= 0 && moved < unusedOffset ? moved : unusedOffset));
            }
        }
        out += frame(QLatin1StringView(kept.id), body);
    }
    return out;
}

} // namespace ID3
