#include "id3/FileName.h"
#include "shows/Show.h"

#include <QDate>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextBoundaryFinder>

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

// One to three digits at the start of a name, then what separates them from the rest.
const QRegularExpression& numberPrefix()
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{1,3})[ ._\\-\u2013\u2014]+"));
    return pattern;
}

} // namespace

std::optional<int> Show::leadingNumber(const QString& fileName)
{
    const QRegularExpressionMatch match = numberPrefix().match(fileName);
    return match.hasMatch() ? std::optional(match.captured(1).toInt()) : std::nullopt;
}

QList<Show::Track> Show::tracks(const QStringList& fileNames)
{
    QList<Track> tracks;
    int count = int(fileNames.size());
    for (qsizetype i = 0; i < fileNames.size(); ++i) {
        const int number = leadingNumber(fileNames.at(i)).value_or(int(i) + 1);
        count = qMax(count, number);
        tracks.append({number, 0});
    }
    for (Track& track : tracks)
        track.count = count;
    return tracks;
}

ID3::Tags Show::tags(
    const QString& file, const std::optional<QByteArray>& cover, const std::optional<Track>& track) const
{
    ID3::Tags t;
    if (titleFromFileName) {
        // Only the last extension goes: "Live 2.0.mp3" keeps "Live 2.0".
        // A name that is not UTF-8 gives its readable part, not escape codes.
        const QString fileName = FileName::display(QFileInfo(file).fileName());
        const qsizetype dot = fileName.lastIndexOf(u'.');
        t.title = dot < 0 ? fileName : fileName.left(dot);
        // The track number has a frame of its own; a title of nothing but it stays whole.
        if (numberTracks) {
            const QString rest = t.title.sliced(numberPrefix().match(t.title).capturedLength());
            if (!rest.isEmpty())
                t.title = rest;
        }
    } else {
        t.title = title;
    }
    if (numberTracks && track)
        t.track = QString::number(track->number) + u'/' + QString::number(track->count);
    t.artist = artist;
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
    return t;
}
