#pragma once

#include <QDateTime>
#include <QString>
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

    bool operator==(const TagResult&) const = default;
};
