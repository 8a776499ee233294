#pragma once

#include "shows/Show.h"

// A podcast with a value in every field, spaces around the artist and the
// description, a fixed year and a cover file.
inline Show fullPodcast()
{
    using namespace Qt::Literals::StringLiterals;
    Show show;
    show.name = u"Night Drive"_s;
    show.title = u"Title"_s;
    show.artist = u" Artist "_s;
    show.albumArtist = u"Album Artist"_s;
    show.album = u"Album"_s;
    show.genre = u"Podcast"_s;
    show.year = u"1999"_s;
    show.autoYear = false;
    show.language = u"en"_s;
    show.publisher = u"Publisher"_s;
    show.copyright = u"© Someone"_s;
    show.comment = u"Comment"_s;
    show.description = u" About 😀 "_s;
    show.category = u"Arts/Books"_s;
    show.keywords = u"k1, k2"_s;
    show.feedURL = u"https://example.com/feed"_s;
    show.composer = u"Composer"_s;
    show.coverFile = u"cover.png"_s;
    show.notes = u"never written"_s;
    return show;
}
