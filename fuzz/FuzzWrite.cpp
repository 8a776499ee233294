// The whole rewrite on arbitrary file contents, in a private folder: the target
// ends up either verified and rewritten or byte for byte as it was, and no
// temporary file is left either way.
#include "id3/Chapters.h"
#include "id3/ID3.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("fuzz.mp3"));
    const QByteArray before(reinterpret_cast<const char*>(data), qsizetype(size));
    {
        QFile file(target);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(before) != before.size())
            std::abort();
    }

    // The first byte picks a few options, so both ID3v1 paths, a cover, kept chapters,
    // kept recording frames and kept titles are explored.
    ID3::Tags tags;
    tags.title = QStringLiteral("Fuzzed");
    const quint8 options = size > 0 ? quint8(data[0]) : 0;
    tags.writeID3v1 = options & 1;
    if (options & 2)
        tags.cover = before.left(64);
    tags.padding = (options & 4) ? 0 : 1024;
    tags.keepChapters = options & 8;
    tags.keepTrackInfo = options & 16;
    tags.keepTitle = options & 32;

    const auto result = ID3::write(tags, target);
    const QByteArray after = readAll(target);
    const QByteArrayView audio = ID3::stripTags(before);
    const qsizetype v1 = tags.writeID3v1 ? ID3::v1Size : 0;
    if (std::holds_alternative<ID3::Outcome>(result) && (tags.keepTrackInfo || tags.keepTitle)) {
        // What the old tags give can't be told here; that the audio is whole behind a new tag can.
        const qsizetype newStart = after.size() - audio.size() - v1;
        if (newStart < ID3::headerSize || !after.startsWith("ID3\x03")
            || after.sliced(newStart, audio.size()) != audio)
            std::abort();
    } else if (const auto* outcome = std::get_if<ID3::Outcome>(&result)) {
        // The chapters of the old tag follow the new frames, their offsets moved with the audio.
        const qsizetype oldStart = audio.data() - before.constData();
        const QList<ID3::KeptFrame> chapters = tags.keepChapters
            ? ID3::soundChapters(ID3::chapterFrames(before.first(oldStart)))
            : QList<ID3::KeptFrame>();
        ID3::BuiltTag frames = ID3::buildFrames(tags);
        const qint64 newStart
            = ID3::headerSize + frames.bytes.size() + tags.padding + ID3::keptSize(chapters);
        frames.bytes += ID3::keptFrames(chapters, {oldStart, oldStart + audio.size()}, newStart);
        QByteArray expected = ID3::finishTag(frames, tags.padding).bytes;
        expected += audio;
        if (v1 > 0)
            expected += ID3::id3v1(tags);
        if (after != expected || outcome->bytesWritten != after.size()
            || outcome->audioSHA != ID3::sha256Hex(audio))
            std::abort();
    } else if (after != before) {
        std::abort();
    }
    if (QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size() != 1)
        std::abort();
    return 0;
}
