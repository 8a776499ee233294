#include "id3/FileName.h"
#include "shows/Show.h"

#include <QDate>
#include <QFileInfo>
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

ID3::Tags Show::tags(const QString& file, const std::optional<QByteArray>& cover) const
{
    ID3::Tags t;
    if (titleFromFileName) {
        // Only the last extension goes: "Live 2.0.mp3" keeps "Live 2.0".
        // A name that is not UTF-8 gives its readable part, not escape codes.
        const QString fileName = FileName::display(QFileInfo(file).fileName());
        const qsizetype dot = fileName.lastIndexOf(u'.');
        t.title = dot < 0 ? fileName : fileName.left(dot);
    } else {
        t.title = title;
    }
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
    return t;
}
