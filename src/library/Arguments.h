#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// The option grammar of the command line, read once for the whole program. It
// sits below the command-line tool because the desktop application takes
// "--library" and the files it was opened with from the same arguments.
namespace CLI {

// The command line in order: each option with the value it takes, and every
// other argument, a path. An option that takes a value takes the argument after
// it as it is, even when it looks like an option; "--snapshot" takes one only
// when one follows that doesn't start with "--". An argument that is no option
// of Pelamo's is a path, whatever it starts with.
struct Arguments
{
    QList<std::pair<QString, std::optional<QString>>> options;
    QStringList paths;

    bool has(const QString& option) const;
    // The value the first occurrence of the option took.
    std::optional<QString> value(const QString& option) const;
    // The folder "--library" names, made absolute (every byte of its name kept).
    std::optional<QString> libraryFolder() const;
};

Arguments parse(const QStringList& arguments);

// The same, for one option of a command line.
std::optional<QString> value(const QString& option, const QStringList& arguments);
std::optional<QString> libraryFolder(const QStringList& arguments);

} // namespace CLI
