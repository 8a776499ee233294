#include "id3/ID3.h"
#include "id3/Text.h"

#include <array>

namespace ID3 {
namespace {

using namespace Qt::Literals::StringLiterals;

// Positions 0 to 79 are the original ID3v1 genres, the rest the customary
// extensions; a name's position is its genre byte.
constexpr std::array<QLatin1StringView, 192> genreNames {
    "Blues"_L1,
    "Classic Rock"_L1,
    "Country"_L1,
    "Dance"_L1,
    "Disco"_L1,
    "Funk"_L1,
    "Grunge"_L1,
    "Hip-Hop"_L1,
    "Jazz"_L1,
    "Metal"_L1,
    "New Age"_L1,
    "Oldies"_L1,
    "Other"_L1,
    "Pop"_L1,
    "R&B"_L1,
    "Rap"_L1,
    "Reggae"_L1,
    "Rock"_L1,
    "Techno"_L1,
    "Industrial"_L1,
    "Alternative"_L1,
    "Ska"_L1,
    "Death Metal"_L1,
    "Pranks"_L1,
    "Soundtrack"_L1,
    "Euro-Techno"_L1,
    "Ambient"_L1,
    "Trip-Hop"_L1,
    "Vocal"_L1,
    "Jazz+Funk"_L1,
    "Fusion"_L1,
    "Trance"_L1,
    "Classical"_L1,
    "Instrumental"_L1,
    "Acid"_L1,
    "House"_L1,
    "Game"_L1,
    "Sound Clip"_L1,
    "Gospel"_L1,
    "Noise"_L1,
    "Alternative Rock"_L1,
    "Bass"_L1,
    "Soul"_L1,
    "Punk"_L1,
    "Space"_L1,
    "Meditative"_L1,
    "Instrumental Pop"_L1,
    "Instrumental Rock"_L1,
    "Ethnic"_L1,
    "Gothic"_L1,
    "Darkwave"_L1,
    "Techno-Industrial"_L1,
    "Electronic"_L1,
    "Pop-Folk"_L1,
    "Eurodance"_L1,
    "Dream"_L1,
    "Southern Rock"_L1,
    "Comedy"_L1,
    "Cult"_L1,
    "Gangsta"_L1,
    "Top 40"_L1,
    "Christian Rap"_L1,
    "Pop/Funk"_L1,
    "Jungle"_L1,
    "Native American"_L1,
    "Cabaret"_L1,
    "New Wave"_L1,
    "Psychedelic"_L1,
    "Rave"_L1,
    "Showtunes"_L1,
    "Trailer"_L1,
    "Lo-Fi"_L1,
    "Tribal"_L1,
    "Acid Punk"_L1,
    "Acid Jazz"_L1,
    "Polka"_L1,
    "Retro"_L1,
    "Musical"_L1,
    "Rock & Roll"_L1,
    "Hard Rock"_L1,
    "Folk"_L1,
    "Folk-Rock"_L1,
    "National Folk"_L1,
    "Swing"_L1,
    "Fast Fusion"_L1,
    "Bebop"_L1,
    "Latin"_L1,
    "Revival"_L1,
    "Celtic"_L1,
    "Bluegrass"_L1,
    "Avantgarde"_L1,
    "Gothic Rock"_L1,
    "Progressive Rock"_L1,
    "Psychedelic Rock"_L1,
    "Symphonic Rock"_L1,
    "Slow Rock"_L1,
    "Big Band"_L1,
    "Chorus"_L1,
    "Easy Listening"_L1,
    "Acoustic"_L1,
    "Humour"_L1,
    "Speech"_L1,
    "Chanson"_L1,
    "Opera"_L1,
    "Chamber Music"_L1,
    "Sonata"_L1,
    "Symphony"_L1,
    "Booty Bass"_L1,
    "Primus"_L1,
    "Porn Groove"_L1,
    "Satire"_L1,
    "Slow Jam"_L1,
    "Club"_L1,
    "Tango"_L1,
    "Samba"_L1,
    "Folklore"_L1,
    "Ballad"_L1,
    "Power Ballad"_L1,
    "Rhythmic Soul"_L1,
    "Freestyle"_L1,
    "Duet"_L1,
    "Punk Rock"_L1,
    "Drum Solo"_L1,
    "A Cappella"_L1,
    "Euro-House"_L1,
    "Dance Hall"_L1,
    "Goa"_L1,
    "Drum & Bass"_L1,
    "Club-House"_L1,
    "Hardcore"_L1,
    "Terror"_L1,
    "Indie"_L1,
    "BritPop"_L1,
    "Afro-Punk"_L1,
    "Polsk Punk"_L1,
    "Beat"_L1,
    "Christian Gangsta Rap"_L1,
    "Heavy Metal"_L1,
    "Black Metal"_L1,
    "Crossover"_L1,
    "Contemporary Christian"_L1,
    "Christian Rock"_L1,
    "Merengue"_L1,
    "Salsa"_L1,
    "Thrash Metal"_L1,
    "Anime"_L1,
    "JPop"_L1,
    "Synthpop"_L1,
    "Abstract"_L1,
    "Art Rock"_L1,
    "Baroque"_L1,
    "Bhangra"_L1,
    "Big Beat"_L1,
    "Breakbeat"_L1,
    "Chillout"_L1,
    "Downtempo"_L1,
    "Dub"_L1,
    "EBM"_L1,
    "Eclectic"_L1,
    "Electro"_L1,
    "Electroclash"_L1,
    "Emo"_L1,
    "Experimental"_L1,
    "Garage"_L1,
    "Global"_L1,
    "IDM"_L1,
    "Illbient"_L1,
    "Industro-Goth"_L1,
    "Jam Band"_L1,
    "Krautrock"_L1,
    "Leftfield"_L1,
    "Lounge"_L1,
    "Math Rock"_L1,
    "New Romantic"_L1,
    "Nu-Breakz"_L1,
    "Post-Punk"_L1,
    "Post-Rock"_L1,
    "Psytrance"_L1,
    "Shoegaze"_L1,
    "Space Rock"_L1,
    "Trop Rock"_L1,
    "World Music"_L1,
    "Neoclassical"_L1,
    "Audiobook"_L1,
    "Audio Theatre"_L1,
    "Neue Deutsche Welle"_L1,
    "Podcast"_L1,
    "Indie Rock"_L1,
    "G-Funk"_L1,
    "Dubstep"_L1,
    "Garage Rock"_L1,
    "Psybient"_L1,
};

// Shows of podcasts often say "Podcasts"; the table only has the singular.
constexpr QLatin1StringView podcastsAlias = "podcasts"_L1;
constexpr quint8 podcastGenre = 186;

} // namespace

const QStringList& genres()
{
    // A function-local static: built once, even when two threads arrive together.
    static const QStringList list = [] {
        QStringList names;
        names.reserve(qsizetype(genreNames.size()));
        for (const QLatin1StringView name : genreNames)
            names += QString(name);
        return names;
    }();
    return list;
}

quint8 genreIndex(const QString& name)
{
    const QString key = trimSpaces(name).toLower();
    if (key.isEmpty())
        return noGenre;
    if (key == podcastsAlias)
        return podcastGenre;
    const QStringList& names = genres();
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (key == names.at(i).toLower())
            return quint8(i);
    }
    return noGenre;
}

quint8 v1Track(const QString& track)
{
    bool ok = false;
    const int number = track.section(u'/', 0, 0).trimmed().toInt(&ok);
    return ok && number >= 1 && number <= 255 ? quint8(number) : 0;
}

// Text fields are taken as stored, untrimmed: leading spaces count toward the width.
QByteArray id3v1(const Tags& tags)
{
    QByteArray out;
    out.reserve(v1Size);
    out += QByteArrayView("TAG");
    out += latin1(tags.title, v1FieldWidth);
    out += latin1(tags.artist, v1FieldWidth);
    out += latin1(tags.album, v1FieldWidth);
    out += latin1(tags.year, v1YearWidth);
    out += latin1(tags.comment, v1CommentWidth);
    out += '\0'; // marks the next byte as a track number (ID3v1.1)
    out += char(v1Track(tags.track)); // 0: none
    out += char(genreIndex(tags.genre));
    return out;
}

} // namespace ID3
