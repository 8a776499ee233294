#include "library/Arguments.h"

#include "id3/FileName.h"

#include <algorithm>
#include <array>

namespace CLI {
namespace {

using namespace Qt::Literals::StringLiterals;

constexpr std::array<QStringView, 6> valued {
    u"--show", u"--library", u"--capture", u"--appearance", u"--size", u"--sample-dir"};
constexpr std::array<QStringView, 10> flags {u"--list", u"--tag", u"--undo", u"--help", u"--version",
    u"--dry-run", u"--json", u"--inspect", u"--null", u"--snapshot"};

bool among(const auto& names, const QString& argument)
{
    return std::find(names.cbegin(), names.cend(), QStringView(argument)) != names.cend();
}

} // namespace

bool Arguments::has(const QString& option) const
{
    return std::any_of(
        options.cbegin(), options.cend(), [&](const auto& given) { return given.first == option; });
}

std::optional<QString> Arguments::value(const QString& option) const
{
    for (const auto& [name, value] : options)
        if (name == option)
            return value;
    return std::nullopt;
}

std::optional<QString> Arguments::libraryFolder() const
{
    const std::optional<QString> folder = value(u"--library"_s);
    return folder ? std::optional(FileName::absolute(*folder)) : std::nullopt;
}

Arguments parse(const QStringList& arguments)
{
    Arguments parsed;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        const bool hasNext = i + 1 < arguments.size();
        if (among(valued, argument)) {
            parsed.options.append({argument, hasNext ? std::optional(arguments.at(++i)) : std::nullopt});
        } else if (argument == u"--snapshot"_s) {
            const bool folder = hasNext && !arguments.at(i + 1).startsWith(u"--"_s);
            parsed.options.append({argument, folder ? std::optional(arguments.at(++i)) : std::nullopt});
        } else if (among(flags, argument)) {
            parsed.options.append({argument, std::nullopt});
        } else {
            parsed.paths.append(argument);
        }
    }
    return parsed;
}

std::optional<QString> value(const QString& option, const QStringList& arguments)
{
    return parse(arguments).value(option);
}

std::optional<QString> libraryFolder(const QStringList& arguments)
{
    return parse(arguments).libraryFolder();
}

} // namespace CLI
