#include "id3/Picture.h"

#include <QLocale>

#include <limits>

namespace ID3 {
namespace {

using namespace Qt::Literals::StringLiterals;

constexpr QByteArrayView pngSignature("\x89PNG\r\n\x1a\n");
constexpr QByteArrayView jpegStart("\xff\xd8");
// A PNG chunk: its length and type, four bytes each, the data, then its CRC.
constexpr qsizetype chunkHeaderSize = 8;
constexpr qsizetype chunkCrcSize = 4;
// IHDR: width and height, four bytes each, bit depth, colour type.
constexpr qsizetype ihdrColourTypeAt = 9;
constexpr int pngGrey = 0;
constexpr int pngGreyAlpha = 4;
constexpr int pngRgbAlpha = 6;
// A JPEG frame header after its marker and length: precision, height and
// width, two bytes each, and the number of components.
constexpr qsizetype sofComponentsAt = 9;

quint32 be16At(QByteArrayView data, qsizetype at)
{
    return (quint32(quint8(data[at])) << 8) | quint8(data[at + 1]);
}

quint32 be32At(QByteArrayView data, qsizetype at)
{
    return (be16At(data, at) << 16) | be16At(data, at + 2);
}

void readPng(QByteArrayView image, Picture& picture)
{
    picture.format = Picture::Format::PNG;
    qsizetype at = pngSignature.size();
    while (image.size() - at >= chunkHeaderSize) {
        const quint32 length = be32At(image, at);
        const QByteArrayView type = image.sliced(at + 4, 4);
        const qsizetype data = at + chunkHeaderSize;
        if (type == "IHDR" && image.size() - data > ihdrColourTypeAt) {
            picture.width = int(qMin<quint32>(be32At(image, data), quint32(std::numeric_limits<int>::max())));
            picture.height
                = int(qMin<quint32>(be32At(image, data + 4), quint32(std::numeric_limits<int>::max())));
            const int colourType = quint8(image[data + ihdrColourTypeAt]);
            if (colourType == pngGrey || colourType == pngGreyAlpha)
                picture.colours = Picture::Colours::Greyscale;
            picture.transparent = colourType == pngGreyAlpha || colourType == pngRgbAlpha;
        } else if (type == "tRNS") {
            picture.transparent = true;
        } else if (type == "IDAT" || type == "IEND") {
            return; // what says anything about colours comes before the pixels
        }
        if (length > quint32(image.size() - data))
            return;
        at = data + qsizetype(length) + chunkCrcSize;
    }
}

void readJpeg(QByteArrayView image, Picture& picture)
{
    picture.format = Picture::Format::JPEG;
    qsizetype at = jpegStart.size();
    while (image.size() - at >= 2 && quint8(image[at]) == 0xFF) {
        const quint8 marker = quint8(image[at + 1]);
        if (marker == 0xFF) { // fill byte before a marker
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) { // markers without a length
            at += 2;
            continue;
        }
        if (image.size() - at < 4)
            return;
        // Start of frame, of any kind but the Huffman and arithmetic tables that share the range.
        const bool frameHeader
            = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frameHeader) {
            if (image.size() - at <= sofComponentsAt)
                return;
            picture.height = int(be16At(image, at + 5));
            picture.width = int(be16At(image, at + 7));
            const int components = quint8(image[at + sofComponentsAt]);
            picture.colours = components == 1 ? Picture::Colours::Greyscale
                : components == 4             ? Picture::Colours::CMYK
                                              : Picture::Colours::RGB;
            return;
        }
        at += 2 + be16At(image, at + 2);
    }
}

} // namespace

Picture pictureOf(QByteArrayView image)
{
    Picture picture;
    picture.bytes = image.size();
    if (image.startsWith(pngSignature))
        readPng(image, picture);
    else if (image.startsWith(jpegStart))
        readJpeg(image, picture);
    return picture;
}

QString Picture::pixelText() const
{
    return hasSize() ? QString::number(width) + u'\u00d7' + QString::number(height) : QString();
}

QString Picture::formatName() const
{
    switch (format) {
    case Format::PNG:
        return u"PNG"_s;
    case Format::JPEG:
        return u"JPEG"_s;
    case Format::Other:
        break;
    }
    return u"image"_s;
}

QString Picture::summary() const
{
    const QString size = hasSize() ? pixelText() + u' ' : QString();
    return size + formatName() + u", "_s + QLocale().toString(bytes) + u" bytes"_s;
}

} // namespace ID3
