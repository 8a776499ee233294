#include "shows/Show.h"

#include "shows/Uuid.h"

#include <QHashFunctions>
#include <QJsonValue>

#include <array>
#include <utility>

namespace {

constexpr std::array kindNames {
    std::pair {Show::Kind::Podcast, u"podcast"},
    std::pair {Show::Kind::Music, u"music"},
};

QString readText(const QJsonObject& object, QLatin1StringView key)
{
    const QJsonValue value = object.value(key);
    return value.isString() ? value.toString() : QString();
}

bool readBool(const QJsonObject& object, QLatin1StringView key, bool fallback)
{
    const QJsonValue value = object.value(key);
    return value.isBool() ? value.toBool() : fallback;
}

} // namespace

QString Show::kindText(Kind kind)
{
    for (const auto& [k, name] : kindNames)
        if (k == kind)
            return QString::fromUtf16(name);
    return {};
}

std::optional<Show::Kind> Show::kindFromText(const QString& text)
{
    for (const auto& [k, name] : kindNames)
        if (text == QStringView(name))
            return k;
    return std::nullopt;
}

QList<Show::Kind> Show::allKinds()
{
    QList<Kind> kinds;
    for (const auto& entry : kindNames)
        kinds.append(entry.first);
    return kinds;
}

std::optional<Show> Show::fromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject o = value.toObject();

    Show show;
    const QJsonValue id = o.value(QLatin1StringView("id"));
    if (const auto parsed = id.isString() ? Uuid::parse(id.toString()) : std::nullopt)
        show.id = *parsed;
    const QJsonValue kind = o.value(QLatin1StringView("kind"));
    show.kind = kindFromText(kind.isString() ? kind.toString() : QString()).value_or(Kind::Podcast);
    show.name = readText(o, QLatin1StringView("name"));
    show.title = readText(o, QLatin1StringView("title"));
    show.titleFromFileName = readBool(o, QLatin1StringView("titleFromFileName"), false);
    show.artist = readText(o, QLatin1StringView("artist"));
    show.albumArtist = readText(o, QLatin1StringView("albumArtist"));
    show.album = readText(o, QLatin1StringView("album"));
    show.genre = readText(o, QLatin1StringView("genre"));
    show.year = readText(o, QLatin1StringView("year"));
    show.autoYear = readBool(o, QLatin1StringView("autoYear"), true);
    show.language = readText(o, QLatin1StringView("language"));
    show.publisher = readText(o, QLatin1StringView("publisher"));
    show.copyright = readText(o, QLatin1StringView("copyright"));
    show.comment = readText(o, QLatin1StringView("comment"));
    show.description = readText(o, QLatin1StringView("description"));
    show.category = readText(o, QLatin1StringView("category"));
    show.keywords = readText(o, QLatin1StringView("keywords"));
    show.feedURL = readText(o, QLatin1StringView("feedURL"));
    // A new show starts flagged, but a stored show without the key was saved
    // before the flag existed and reads as unflagged.
    show.podcastFlag = readBool(o, QLatin1StringView("podcastFlag"), false);
    show.composer = readText(o, QLatin1StringView("composer"));
    const QJsonValue cover = o.value(QLatin1StringView("coverFile"));
    show.coverFile = cover.isString() ? std::optional(cover.toString()) : std::nullopt;
    show.writeID3v1 = readBool(o, QLatin1StringView("writeID3v1"), true);
    show.notes = readText(o, QLatin1StringView("notes"));
    // A new show keeps chapters and each recording's frames; one stored before
    // the keys existed does what it did then.
    show.numberTracks = readBool(o, QLatin1StringView("numberTracks"), false);
    show.keepChapters = readBool(o, QLatin1StringView("keepChapters"), false);
    show.keepTrackInfo = readBool(o, QLatin1StringView("keepTrackInfo"), false);
    show.artistFromFileName = readBool(o, QLatin1StringView("artistFromFileName"), false);
    show.keepTitle = readBool(o, QLatin1StringView("keepTitle"), false);

    if (show.name.isEmpty())
        show.name = QStringLiteral("Untitled Show");
    return show;
}

QJsonObject Show::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1StringView("id"), Uuid::text(id));
    o.insert(QLatin1StringView("kind"), kindText(kind));
    o.insert(QLatin1StringView("name"), name);
    o.insert(QLatin1StringView("title"), title);
    o.insert(QLatin1StringView("titleFromFileName"), titleFromFileName);
    o.insert(QLatin1StringView("artist"), artist);
    o.insert(QLatin1StringView("albumArtist"), albumArtist);
    o.insert(QLatin1StringView("album"), album);
    o.insert(QLatin1StringView("genre"), genre);
    o.insert(QLatin1StringView("year"), year);
    o.insert(QLatin1StringView("autoYear"), autoYear);
    o.insert(QLatin1StringView("language"), language);
    o.insert(QLatin1StringView("publisher"), publisher);
    o.insert(QLatin1StringView("copyright"), copyright);
    o.insert(QLatin1StringView("comment"), comment);
    o.insert(QLatin1StringView("description"), description);
    o.insert(QLatin1StringView("category"), category);
    o.insert(QLatin1StringView("keywords"), keywords);
    o.insert(QLatin1StringView("feedURL"), feedURL);
    o.insert(QLatin1StringView("podcastFlag"), podcastFlag);
    o.insert(QLatin1StringView("composer"), composer);
    if (coverFile)
        o.insert(QLatin1StringView("coverFile"), *coverFile);
    o.insert(QLatin1StringView("writeID3v1"), writeID3v1);
    o.insert(QLatin1StringView("notes"), notes);
    o.insert(QLatin1StringView("numberTracks"), numberTracks);
    o.insert(QLatin1StringView("keepChapters"), keepChapters);
    o.insert(QLatin1StringView("keepTrackInfo"), keepTrackInfo);
    o.insert(QLatin1StringView("artistFromFileName"), artistFromFileName);
    o.insert(QLatin1StringView("keepTitle"), keepTitle);
    return o;
}

size_t qHash(const Show& show, size_t seed) noexcept
{
    return qHashMulti(seed, show.id, int(show.kind), show.name, show.title, show.titleFromFileName,
        show.artist, show.albumArtist, show.album, show.genre, show.year, show.autoYear, show.language,
        show.publisher, show.copyright, show.comment, show.description, show.category, show.keywords,
        show.feedURL, show.podcastFlag, show.composer, show.coverFile.has_value(),
        show.coverFile.value_or(QString()), show.writeID3v1, show.notes, show.numberTracks, show.keepChapters,
        show.keepTrackInfo, show.artistFromFileName, show.keepTitle);
}
