#include "shows/Artwork.h"

namespace Artwork {

QStringList advice(const ID3::Picture& picture)
{
    QStringList notes;
    if (picture.format == ID3::Picture::Format::Other)
        notes.append(QStringLiteral("Not a JPEG or PNG file: directories and players ask for one of them."));
    if (!picture.hasSize())
        return notes;
    if (picture.width != picture.height)
        notes.append(QStringLiteral("Not square: directories ask for a square, and players show this one "
                                    "with bars or cut off."));
    const int side = qMax(picture.width, picture.height);
    if (side < smallestSide)
        notes.append(QStringLiteral("Under %1×%1 pixels: podcast directories ask for %1 to %2 a side.")
                         .arg(smallestSide)
                         .arg(largestSide));
    else if (side > largestSide)
        notes.append(QStringLiteral("Over %1×%1 pixels: podcast directories ask for %2 to %1 a side.")
                         .arg(largestSide)
                         .arg(smallestSide));
    if (picture.bytes > largestBytes)
        notes.append(QStringLiteral("Over 1 MB: some players leave out pictures over 1 or 2 MB, and hosts "
                                    "advise 500 KB or less."));
    if (picture.colours == ID3::Picture::Colours::CMYK)
        notes.append(QStringLiteral("In CMYK, not RGB: directories ask for RGB, and some players show CMYK "
                                    "in wrong colours."));
    else if (picture.colours == ID3::Picture::Colours::Greyscale)
        notes.append(QStringLiteral("In greyscale, not RGB: directories ask for RGB."));
    if (picture.transparent)
        notes.append(QStringLiteral("Has transparency: directories ask for RGB without it, and players show "
                                    "the see-through parts black or white."));
    return notes;
}

bool canMakeSmaller(const ID3::Picture& picture)
{
    return picture.hasSize()
        && (qMax(picture.width, picture.height) > playerSide || picture.bytes > largestBytes
            || picture.colours != ID3::Picture::Colours::RGB || picture.transparent);
}

} // namespace Artwork
