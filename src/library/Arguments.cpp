#include "library/Arguments.h"

namespace CLI {

std::optional<QString> value(const QString& option, const QStringList& arguments)
{
    const qsizetype at = arguments.indexOf(option);
    if (at < 0 || at + 1 >= arguments.size())
        return std::nullopt;
    return arguments.at(at + 1);
}

std::optional<QString> libraryFolder(const QStringList& arguments)
{
    return value(QStringLiteral("--library"), arguments);
}

} // namespace CLI
