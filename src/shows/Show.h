#pragma once

#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

// One saved tag profile: the values every file tagged with it receives, for one
// podcast or one music release. A plain value; the library keeps a list of them.
struct Show {
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

    bool operator==(const Show&) const = default;

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

template <>
struct std::hash<Show> {
    size_t operator()(const Show& show) const noexcept { return qHash(show); }
};
