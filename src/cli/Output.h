#pragma once

// What the command line prints: for each show, each file tagged, put back or
// looked at, one line for people, or one JSON object on a line for scripts; and
// the progress on a terminal while a batch runs.
#include "id3/Inspect.h"
#include "library/TagResult.h"
#include "shows/Show.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <functional>
#include <variant>

namespace CLI {

enum class Format { People, Json };

// A show as --list prints it: its name, title, artist, genre and whether it has a cover.
QString showLine(const Show& show, Format format);
// A file tagged, put back or refused, or what a dry run says of it.
QString resultLine(const TagResult& result, Format format);
// What a file holds; several lines for people.
QString inspectionText(
    const QString& path, const std::variant<ID3::Inspection, ID3::Failure>& inspected, Format format);

// One line on a terminal's standard error while a batch runs: the count, the
// file in progress and the speed so far, drawn over itself and erased before
// every result line and at the end. Nothing at all when standard error is not
// a terminal.
class TerminalProgress
{
public:
    // The files are asked for only when there is a terminal to show them.
    TerminalProgress(QString verb, const std::function<QStringList()>& files);
    void fileDone();
    void erase();

private:
    void draw();

    QStringList m_files;
    QString m_verb;
    qsizetype m_done = 0;
    qint64 m_bytes = 0;
    QElapsedTimer m_clock;
    bool m_drawn = false;
};

} // namespace CLI
