#pragma once

#include <QString>

// The two ways Pelamo trims user text. Both cut only at the ends; interior
// characters are never touched.
namespace ID3 {

// Removes Unicode space separators (category Zs) and tabs.
QString trimSpaces(const QString& text);

// Removes what trimSpaces removes, plus line and paragraph separators,
// U+000A to U+000D and U+0085.
QString trimSpacesAndLineBreaks(const QString& text);

} // namespace ID3
