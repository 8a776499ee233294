#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUuid>

// The record of one file tagged or refused, as the Recent list and the command
// line report it. Made once and never changed.
struct TagResult
{
    QUuid id = QUuid::createUuid();
    QString file; // absolute path
    QString show; // the show's name at tagging time
    bool ok = false;
    QString message;
    QDateTime date = QDateTime::currentDateTime();
    // What a tagged file was given, or would be by a dry run: the frames as the
    // message names them, the old frames it no longer carries, and the values
    // that come from each file.
    QStringList frames;
    QStringList dropped;
    QString title;
    QString artist;
    QString track;
    QString disc;
    // Not a file's result but a word about what was dropped: a folder with
    // nothing in it to tag ("No MP3 files in Artwork").
    bool note = false;

    bool operator==(const TagResult&) const = default;
};
