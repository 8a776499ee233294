#pragma once

// Where the files of a batch stand in their releases, for a show that numbers
// tracks, read from the folders they are in: each folder's MP3 files numbered
// as their names say or by their place, a "Disc 2" folder as disc 2 of as many
// discs as the disc folders beside it. The names' rules are Numbering's; the
// listing is the batch's.
#include "shows/Show.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace Release {

// A folder's MP3 files, in the order a batch takes them.
using Listing = std::function<QStringList(const QString& folder)>;

// Each file's place, in the order given: the MP3 files of its folder are listed
// once per folder (a file the listing doesn't show still counts).
QList<std::optional<Show::Track>> places(const QStringList& files, const Listing& listing);

// The disc folders ("Disc 1", "CD2"…) directly inside a folder, by disc number.
QStringList discFolders(const QString& folder);

} // namespace Release
