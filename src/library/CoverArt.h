#pragma once

#include "library/ShowStore.h"

#include <QImage>

struct ShowStore::CoverArt
{
    std::optional<QImage> image; // none when the file can't be decoded
    ID3::Picture picture; // format, size and bytes, from the header
};
