// stripTags and looksLikeMP3 on arbitrary bytes: never read outside the buffer,
// always a view inside it, and a new tag in front of the audio is cut exactly.
#include "id3/ID3.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArrayView audio = ID3::stripTags(input);
    if (audio.size() > input.size()
        || (!audio.isEmpty()
            && (audio.data() < input.data() || audio.data() + audio.size() > input.data() + input.size())))
        std::abort();
    (void)ID3::looksLikeMP3(audio);

    // A new tag in front is cut exactly: what remains starts where the audio does
    // and is that audio, or (when the audio ends like another tag) a prefix of it.
    static const QByteArray tag = [] {
        ID3::Tags tags;
        tags.title = QStringLiteral("T");
        return ID3::buildTag(tags).bytes;
    }();
    QByteArray file = tag;
    file += audio;
    const QByteArrayView again = ID3::stripTags(file);
    if (again.size() > audio.size() || again != audio.first(again.size())
        || (!again.isEmpty() && again.data() != file.constData() + tag.size()))
        std::abort();
    return 0;
}
