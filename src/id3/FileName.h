#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QUrl>

// File names as the file system keeps them: bytes, usually but not always UTF-8.
// A path decoded here keeps every byte that is not valid UTF-8 as a lone
// surrogate (U+DC80 to U+DCFF), so it encodes back to exactly the bytes it came
// from and any file a folder lists can be opened again by its name.
namespace FileName {

QString decode(QByteArrayView bytes);
QByteArray encode(const QString& path);

// The path as a person reads it: bytes that are not UTF-8 become U+FFFD.
QString display(const QString& path);
// The display form on one line: control characters (a line feed, a tab) are
// written as C escapes, so one name never splits a line of output.
QString singleLine(const QString& path);

// The names in a folder, "." and ".." left out, in the order the file system
// gives them; empty when it can't be listed.
QStringList entries(const QString& folder);

// The path made absolute against the current folder and cleaned of "." and
// "..", without asking Qt, which would lose the bytes that are not UTF-8.
QString absolute(const QString& path);

// True when something is found at the path (links followed), and when that is a folder.
bool exists(const QString& path);
bool isFolder(const QString& path);

// File locations that keep every byte of the path, and back.
QUrl url(const QString& path);
QString fromUrl(const QUrl& url);

} // namespace FileName
