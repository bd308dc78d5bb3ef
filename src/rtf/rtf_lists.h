#pragma once

#include <QTextListFormat>

// The lists the rich-edit control writes, in one table so that the RTF writer and reader cannot drift
// apart: what one writes, the other reads back as the same list.
namespace RtfLists {

enum class Kind { None, Bullet, Decimal, LowerAlpha, UpperAlpha, LowerRoman, UpperRoman };

struct Entry {
    Kind kind;
    // The word of a {\pn} group: \pnlvlblt makes a bulleted level, the others name a numbered one's style.
    const char *keyword;
    QTextListFormat::Style style;
};

inline constexpr Entry table[] = {
    {Kind::Bullet, "pnlvlblt", QTextListFormat::ListDisc},
    {Kind::Decimal, "pndec", QTextListFormat::ListDecimal},
    {Kind::LowerAlpha, "pnlcltr", QTextListFormat::ListLowerAlpha},
    {Kind::UpperAlpha, "pnucltr", QTextListFormat::ListUpperAlpha},
    {Kind::LowerRoman, "pnlcrm", QTextListFormat::ListLowerRoman},
    {Kind::UpperRoman, "pnucrm", QTextListFormat::ListUpperRoman},
};

// None is no list; the bullet entry stands in for it.
constexpr const Entry &entry(Kind kind)
{
    for (const Entry &candidate : table)
        if (candidate.kind == kind)
            return candidate;
    return table[0];
}

// Styles the control has no word for (circles, squares) become bullets.
constexpr Kind kindOf(QTextListFormat::Style style)
{
    for (const Entry &candidate : table)
        if (candidate.style == style)
            return candidate.kind;
    return Kind::Bullet;
}

} // namespace RtfLists
