#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The option grammar of the command line. It sits below the command-line tool
// because the desktop application's library honours "--library" as well.
namespace CLI {

// The argument right after the first occurrence of `option`, taken as it is even
// when it looks like an option; nothing when the option is absent or last.
std::optional<QString> value(const QString& option, const QStringList& arguments);

// The folder named by "--library", if any.
std::optional<QString> libraryFolder(const QStringList& arguments);

} // namespace CLI
