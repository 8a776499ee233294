#pragma once

#include "id3/Picture.h"
#include "id3/Tags.h"
#include "shows/Numbering.h"

#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>
#include <utility>

// One saved tag profile: the values every file tagged with it receives, for one
// podcast or one music release. A plain value; the library keeps a list of them.
struct Show
{
    enum class Kind { Podcast, Music };

    // Characters (grapheme clusters) of the description that are written into files.
    static constexpr int descriptionLimit = 4000;

    QUuid id = QUuid::createUuid();
    Kind kind = Kind::Podcast;
    QString name = QStringLiteral("New Show");
    QString title;
    bool titleFromFileName = false;
    QString artist;
    QString albumArtist;
    QString album;
    QString genre;
    QString year;
    bool autoYear = true;
    QString language;
    QString publisher;
    QString copyright;
    QString comment;
    QString description;
    QString category;
    QString keywords;
    QString feedURL;
    bool podcastFlag = true;
    QString composer;
    std::optional<QString> coverFile;
    bool writeID3v1 = true;
    QString notes;
    // Each file gets its track number and the release's count (TRCK "3/12").
    bool numberTracks = false;
    // The chapters of each file's old tag (CHAP, CTOC) go into its new one.
    bool keepChapters = true;
    // So do the frames of its recording: lyrics, ISRC, identifiers, loudness,
    // tempo, key, rating.
    bool keepTrackInfo = true;
    // A name "Artist - Title" gives the file its artist (and, with
    // titleFromFileName, its title).
    bool artistFromFileName = false;
    // A file whose old tag has a title keeps it; the title rule is for the others.
    bool keepTitle = false;

    bool operator==(const Show&) const = default;

    // A file's place in its release: its track and disc numbers and their counts.
    using Track = Numbering::Place;

    // A label and its value, as the previews list them.
    struct Row
    {
        QString label;
        QString value;
        bool operator==(const Row&) const = default;
    };

    // The tag values for one file: the kind decides which fields are written, the
    // title and the artist may come from the file's name, and the year may be the
    // current one. With numberTracks, `track` is the file's place in its release.
    ID3::Tags tags(const QString& file, const std::optional<QByteArray>& cover,
        const std::optional<Track>& track = std::nullopt) const;

    // The podcast categories, each main category with its subcategories, in menu order.
    static const QList<std::pair<QString, QStringList>>& appleCategories();
    // Genre suggestions for music; every one has an ID3v1 number.
    static const QStringList& musicGenres();
    // "Arts/Books" as "Arts › Books".
    static QString prettyCategory(const QString& category);
    // What an ID3v1 field of `width` characters will show of a text.
    static QString fit(const QString& text, int width);

    // What older players will read from the ID3v1 tag: six rows, whatever the kind.
    QList<Row> id3v1Rows() const;
    // The non-empty ID3v1 values joined by " · ".
    QString id3v1Summary() const;
    // Everything the show writes, as the tagging pane lists it, with the cover's
    // size where it is given.
    QList<Row> writtenRows(const std::optional<ID3::Picture>& cover = std::nullopt) const;
    // What the year field holds, a year or a date, and which frames get what;
    // empty while the year is the current one or blank.
    QString yearNote() const;
    // What the title is when each file's name gives it.
    QString fileTitle() const;
    // The old frames a file loses, in plain words with their IDs: "lyrics (USLT),
    // ISRC (TSRC)"; IDs as results name them ("TXXX×2").
    static QString droppedText(const QStringList& dropped);
    // What each file's title and artist are, as the previews say it.
    QString titleText() const;
    QString artistText() const;

    // User-perceived characters (grapheme clusters), as the description limit counts them.
    static qsizetype characterCount(const QString& text);
    static QString firstCharacters(const QString& text, qsizetype count);
    static int currentYear();

    static QString kindText(Kind kind);
    static std::optional<Kind> kindFromText(const QString& text);
    static QList<Kind> allKinds();

    // Tolerant: every key may be missing, null or of the wrong type and then takes
    // its fallback value. Fails only when the value is not an object.
    static std::optional<Show> fromJson(const QJsonValue& value);
    QJsonObject toJson() const;
};

Q_DECLARE_METATYPE(Show)

size_t qHash(const Show& show, size_t seed = 0) noexcept;

template <> struct std::hash<Show>
{
    size_t operator()(const Show& show) const noexcept { return qHash(show); }
};
