#include "shows/Numbering.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace Numbering {
namespace {

using namespace Qt::Literals::StringLiterals;

// What separates a number from the rest of a name: spaces, dots, underscores, dashes.
const QString separators = u"[ ._\\-\u2013\u2014]"_s;
// What follows a number: separators, or the end of the name.
const QString ending = u"(?:"_s + separators + u"+|$)"_s;

// "1-01 Intro", "2.03 Other": a disc of one or two digits, "-" or ".", a track of two.
const QRegularExpression discAndTrack(u"^([0-9]{1,2})[-.]([0-9]{2})"_s + ending);
// "Track 05 Five", in any letter case.
const QRegularExpression trackWord(
    u"^track"_s + separators + u"*([0-9]{1,3})"_s + ending, QRegularExpression::CaseInsensitiveOption);
// "05 - Intro", "7 Intro": one to three digits; four are a year.
const QRegularExpression track(u"^([0-9]{1,3})"_s + ending);
const QRegularExpression discFolder(
    u"^(?:disc|disk|cd) ?([0-9]{1,2})$"_s, QRegularExpression::CaseInsensitiveOption);

} // namespace

std::optional<Named> parse(const QString& baseName)
{
    if (const auto match = discAndTrack.match(baseName); match.hasMatch())
        return Named {match.captured(1).toInt(), match.captured(2).toInt(), match.capturedLength()};
    for (const QRegularExpression* pattern : {&trackWord, &track})
        if (const auto match = pattern->match(baseName); match.hasMatch())
            return Named {std::nullopt, match.captured(1).toInt(), match.capturedLength()};
    return std::nullopt;
}

std::optional<int> discOfFolder(const QString& folderName)
{
    const auto match = discFolder.match(folderName);
    return match.hasMatch() ? std::optional(match.captured(1).toInt()) : std::nullopt;
}

QList<Place> places(const QStringList& baseNames, std::optional<int> folderDisc, int discsBeside)
{
    QList<Place> out;
    QSet<std::pair<int, int>> taken;
    bool numbered = true;
    for (const QString& name : baseNames) {
        const std::optional<Named> named = parse(name);
        Place place;
        place.disc = folderDisc.value_or(0);
        if (named) {
            place.track = named->track;
            place.disc = named->disc.value_or(place.disc);
            place.nameNumber = named->length;
        }
        numbered = numbered && named && !taken.contains({place.disc, place.track});
        taken.insert({place.disc, place.track});
        out.append(place);
    }
    if (!numbered)
        for (qsizetype i = 0; i < out.size(); ++i)
            out[i] = {int(i) + 1, 0, folderDisc.value_or(0), 0, 0};
    // Each disc counts its own tracks, or goes up to its largest number.
    QHash<int, int> counts;
    QHash<int, int> largest;
    int discs = qMax(discsBeside, folderDisc.value_or(0));
    for (const Place& place : std::as_const(out)) {
        ++counts[place.disc];
        largest[place.disc] = qMax(largest.value(place.disc), place.track);
        discs = qMax(discs, place.disc);
    }
    for (Place& place : out) {
        place.tracks = qMax(counts.value(place.disc), largest.value(place.disc));
        place.discs = place.disc > 0 ? discs : 0;
    }
    return out;
}

} // namespace Numbering
