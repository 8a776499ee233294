#pragma once

// What podcast directories and players ask of cover art, and how a show's
// cover measures up: square, 1400 to 3000 pixels a side, RGB, JPEG or PNG, and
// small enough that players embed and show it.
#include "id3/Picture.h"

#include <QStringList>

namespace Artwork {

// The side directories ask for at least and at most, and the side a cover
// made for players is scaled down to.
inline constexpr int smallestSide = 1400;
inline constexpr int largestSide = 3000;
inline constexpr int playerSide = 1400;
// Some players leave out pictures larger than this.
inline constexpr qint64 largestBytes = 1000 * 1000;

// A note for each way the picture falls short, in the order they matter.
QStringList advice(const ID3::Picture& picture);

// Whether a copy scaled down to playerSide, in RGB JPEG, would be better for
// players: the picture is larger than that, too many bytes, or not RGB.
bool canMakeSmaller(const ID3::Picture& picture);

} // namespace Artwork
