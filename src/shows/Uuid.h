#pragma once

#include <QString>
#include <QUuid>

#include <optional>

// UUID text as Pelamo stores it: 8-4-4-4-12 hexadecimal digits, upper case.
namespace Uuid {

QString text(const QUuid& id);

// Accepts only the bare 36-character form (either letter case); braces, URNs
// and every other spelling QUuid would tolerate are refused.
std::optional<QUuid> parse(const QString& text);

} // namespace Uuid
