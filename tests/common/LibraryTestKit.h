#pragma once

#include "common/Mutagen.h"
#include "common/TestEnvironment.h"
#include "shows/Show.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

inline Show named(const QString& name, const QString& title = {})
{
    Show show;
    show.name = name;
    show.title = title;
    return show;
}

inline QByteArray showsJson(const QList<Show>& shows)
{
    QJsonArray array;
    for (const Show& show : shows)
        array.append(show.toJson());
    return QJsonDocument(array).toJson();
}

inline void writeShows(const QString& folder, const QList<Show>& shows)
{
    writeFile(folder + QStringLiteral("/shows.json"), showsJson(shows));
}

inline QList<QUrl> fileUrls(const QStringList& paths)
{
    QList<QUrl> out;
    for (const QString& path : paths)
        out.append(QUrl::fromLocalFile(path));
    return out;
}

// One text frame as mutagen reads it; a null text when mutagen can't read the file.
inline QString mutagenText(const std::optional<QJsonObject>& tags, const char* frame)
{
    return tags ? tags->value(QLatin1StringView("text")).toObject().value(QLatin1StringView(frame)).toString()
                : QString();
}

// The only picture mutagen finds; empty when there is not exactly one.
inline QJsonObject mutagenPicture(const std::optional<QJsonObject>& tags)
{
    const QJsonArray pictures = tags ? tags->value(QLatin1StringView("pictures")).toArray() : QJsonArray();
    return pictures.size() == 1 ? pictures.first().toObject() : QJsonObject();
}

#ifdef PELAMO_EXECUTABLE
// The real program in a test's private home.
inline ProgramRun runPelamo(
    const TestEnvironment& env, const QStringList& arguments, const QString& workingDirectory = {})
{
    return runProgram(
        QStringLiteral(PELAMO_EXECUTABLE), arguments, env.processEnvironment(), workingDirectory);
}
#endif
