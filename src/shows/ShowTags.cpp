#include "id3/FileName.h"
#include "shows/Show.h"

#include <QDate>
#include <QFileInfo>
#include <QTextBoundaryFinder>

#include <array>

qsizetype Show::characterCount(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

QString Show::firstCharacters(const QString& text, qsizetype count)
{
    // Cheap exit: a text can't hold more characters than UTF-16 units.
    if (text.size() <= count)
        return text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype i = 0; i < count; ++i)
        if (finder.toNextBoundary() < 0)
            return text;
    return text.left(finder.position());
}

int Show::currentYear()
{
    return QDate::currentDate().year();
}

namespace {

// What separates an artist from a title in a name: the first of these counts.
constexpr std::array<QStringView, 3> artistSeparators {u" - ", u" \u2013 ", u" \u2014 "};

// What a file's name says: its name without the extension, and the artist
// before the title when there is one.
struct FromName
{
    QString title;
    QString artist;
};

// `name` without its first `count` characters; a name of nothing but them stays whole.
QString without(const QString& name, qsizetype count)
{
    return count < name.size() ? name.sliced(count) : name;
}

FromName fromName(const QString& file, qsizetype nameNumber, bool withArtist)
{
    // Only the last extension goes: "Live 2.0.mp3" keeps "Live 2.0".
    // A name that is not UTF-8 gives its readable part, not escape codes.
    const QString fileName = FileName::display(QFileInfo(file).fileName());
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const QString base = dot < 0 ? fileName : fileName.left(dot);
    // The track number has a frame of its own.
    const FromName plain {without(base, nameNumber), {}};
    if (!withArtist)
        return plain;
    // A leading number is never part of the artist, whether or not it is the track's.
    const QString named = without(base, Numbering::parse(base).value_or(Numbering::Named()).length);
    qsizetype at = -1;
    qsizetype length = 0;
    for (const QStringView separator : artistSeparators) {
        const qsizetype found = named.indexOf(separator);
        if (found > 0 && (at < 0 || found < at)) {
            at = found;
            length = separator.size();
        }
    }
    if (at < 0)
        return plain;
    return {named.sliced(at + length), named.first(at)};
}

} // namespace

ID3::Tags Show::tags(
    const QString& file, const std::optional<QByteArray>& cover, const std::optional<Track>& track) const
{
    ID3::Tags t;
    const bool numbered = numberTracks && track;
    const FromName named = fromName(file, numbered ? track->nameNumber : 0, artistFromFileName);
    t.title = titleFromFileName ? named.title : title;
    t.keepTitle = keepTitle;
    if (numbered) {
        t.track = QString::number(track->track) + u'/' + QString::number(track->tracks);
        if (track->disc > 0)
            t.disc = QString::number(track->disc) + u'/' + QString::number(track->discs);
    }
    t.artist = named.artist.isEmpty() ? artist : named.artist;
    t.albumArtist = albumArtist;
    t.album = album;
    t.genre = genre;
    t.year = autoYear ? QString::number(currentYear()) : year;
    t.language = language;
    t.publisher = publisher;
    t.copyright = copyright;
    t.comment = comment;
    if (kind == Kind::Podcast) {
        t.description = firstCharacters(description, descriptionLimit);
        t.category = category;
        t.keywords = keywords;
        t.feedURL = feedURL;
        t.podcastFlag = podcastFlag;
    } else {
        t.composer = composer;
    }
    t.cover = cover;
    t.writeID3v1 = writeID3v1;
    t.keepChapters = keepChapters;
    t.keepTrackInfo = keepTrackInfo;
    return t;
}
