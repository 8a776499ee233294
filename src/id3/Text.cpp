#include "id3/Text.h"

namespace ID3 {
namespace {

bool isSpace(char32_t c)
{
    return c == U'\t' || QChar::category(c) == QChar::Separator_Space;
}

bool isSpaceOrLineBreak(char32_t c)
{
    if (isSpace(c))
        return true;
    if (c >= 0x0A && c <= 0x0D)
        return true;
    const auto category = QChar::category(c);
    return c == 0x85 || category == QChar::Separator_Line || category == QChar::Separator_Paragraph;
}

// All characters in both sets lie in the Basic Multilingual Plane, so looking at
// single UTF-16 units never splits a character we would remove.
template <typename Predicate> QString trimmed(const QString& text, Predicate remove)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && remove(text.at(begin).unicode()))
        ++begin;
    while (end > begin && remove(text.at(end - 1).unicode()))
        --end;
    if (begin == 0 && end == text.size())
        return text;
    return text.mid(begin, end - begin);
}

} // namespace

QString trimSpaces(const QString& text)
{
    return trimmed(text, isSpace);
}

QString trimSpacesAndLineBreaks(const QString& text)
{
    return trimmed(text, isSpaceOrLineBreak);
}

} // namespace ID3
