#include "id3/Tags.h"

namespace ID3 {

Failure Failure::notMP3(const QString& fileName)
{
    return {Kind::NotMP3, fileName + QStringLiteral(" is not an MP3 file")};
}

Failure Failure::io(const QString& message)
{
    return {Kind::IO, message};
}

Failure Failure::emptyTitle()
{
    return {Kind::EmptyTitle,
        QStringLiteral("The show has no Title — fill it in, or turn on “use the file name”")};
}

Failure Failure::audioChanged()
{
    return {Kind::AudioChanged,
        QStringLiteral("Safety check failed: the audio would have changed, so the file was left untouched")};
}

Failure Failure::readsDiffer(const QString& fileName)
{
    return {Kind::ReadsDiffer,
        fileName
            + QStringLiteral(" read differently twice: the disk or file system returned different bytes; it "
                             "was left as it was")};
}

} // namespace ID3
