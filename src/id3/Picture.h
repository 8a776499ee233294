#pragma once

// What a cover picture is, read from the header of its PNG or JPEG file without
// decoding it: its format, size in pixels and colours. Pure functions over bytes,
// shared by the tags a show writes and the tags a file has.
#include <QByteArrayView>
#include <QString>

namespace ID3 {

struct Picture
{
    enum class Format { Other, PNG, JPEG };
    enum class Colours { RGB, Greyscale, CMYK };

    Format format = Format::Other;
    int width = 0; // 0 when the header doesn't say
    int height = 0;
    Colours colours = Colours::RGB;
    bool transparent = false; // an alpha channel or a transparent colour
    qint64 bytes = 0;

    bool hasSize() const { return width > 0 && height > 0; }
    // "1400×1400", empty without a size.
    QString pixelText() const;
    // "JPEG", "PNG", or "image".
    QString formatName() const;
    // "1400×1400 JPEG, 312,004 bytes", the bytes in the locale's digits.
    QString summary() const;
};

Picture pictureOf(QByteArrayView image);

} // namespace ID3
