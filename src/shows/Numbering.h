#pragma once

// How releases number their files, read from names as rippers and stores give
// them: a name may start with a disc and a track ("1-01 Intro", "2.03 Other"),
// with a track ("05 - Intro", "7 Intro", "Track 05 Intro"), and a folder may be
// one disc of several ("Disc 2", "CD2"). Pure functions over names.
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace Numbering {

// What the start of a file's name (without its extension) says.
struct Named
{
    std::optional<int> disc;
    int track = 0;
    qsizetype length = 0; // of the number and the separators after it
    bool operator==(const Named&) const = default;
};
std::optional<Named> parse(const QString& baseName);

// The disc a folder's name makes it: "Disc 2", "Disk 2", "CD 2" or "CD2", in any
// letter case.
std::optional<int> discOfFolder(const QString& folderName);

// A file's place in its release.
struct Place
{
    int track = 0;
    int tracks = 0; // of its disc
    int disc = 0; // none
    int discs = 0;
    qsizetype nameNumber = 0; // the characters of its name that are its number, which its title leaves out
    bool operator==(const Place&) const = default;
};

// The places of one folder's MP3 files, given by their names without extension
// in the order a batch takes them. `folderDisc` is the folder's own disc (a
// "Disc 2" folder), `discsBeside` the largest disc among the disc folders beside
// it (0 for none). The names give the numbers only when every one carries a
// number and no two the same; otherwise each file takes its position, so that
// numbers never collide and "99 Luftballons" is a title.
QList<Place> places(const QStringList& baseNames, std::optional<int> folderDisc, int discsBeside);

} // namespace Numbering
