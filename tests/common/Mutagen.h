#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

// Reads a file's tags with mutagen, an independent reader: the ID3v2 version,
// every text frame, the pictures (MIME type and SHA-256 of the data) and whether
// an ID3v1 tag is there. Nothing when python3 or mutagen is missing or fails.
std::optional<QJsonObject> readWithMutagen(const QString& path);
// The same for a path given as the file system's bytes, which may not be UTF-8.
std::optional<QJsonObject> readWithMutagen(const QByteArray& nativePath);
