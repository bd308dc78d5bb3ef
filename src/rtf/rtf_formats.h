#pragma once

#include <QFont>
#include <QTextCharFormat>

#include <cstddef>
#include <iterator>

// The character formats and paragraph alignments of a note's text, in one table each so that the RTF
// writer and reader cannot drift apart: what one writes, the other reads back as the same format. A
// new format is one more row here.
namespace RtfFormats {

// Formats that are on or off: the word switches it on, the word with 0 switches it off; a reader takes
// the off word as well (the rich-edit control ends underlining with \ulnone, not \ul0).
enum class Toggle { Bold, Italic, Underline, Strike };

// In the order of Toggle, so that a toggle's state can sit at its index.
struct ToggleFormat {
    Toggle toggle;
    const char *keyword;
    const char *offKeyword; // written to switch the format off; nullptr: the keyword with 0
    bool (*get)(const QTextCharFormat &);
    void (*set)(QTextCharFormat &, bool);
};

inline constexpr ToggleFormat toggles[] = {
    {Toggle::Bold, "b", nullptr, [](const QTextCharFormat &f) { return f.fontWeight() >= QFont::DemiBold; },
     [](QTextCharFormat &f, bool on) { f.setFontWeight(on ? QFont::Bold : QFont::Normal); }},
    {Toggle::Italic, "i", nullptr, [](const QTextCharFormat &f) { return f.fontItalic(); },
     [](QTextCharFormat &f, bool on) { f.setFontItalic(on); }},
    {Toggle::Underline, "ul", "ulnone", [](const QTextCharFormat &f) { return f.fontUnderline(); },
     [](QTextCharFormat &f, bool on) { f.setFontUnderline(on); }},
    {Toggle::Strike, "strike", nullptr, [](const QTextCharFormat &f) { return f.fontStrikeOut(); },
     [](QTextCharFormat &f, bool on) { f.setFontStrikeOut(on); }},
};

inline constexpr std::size_t toggleCount = std::size(toggles);

constexpr bool inToggleOrder()
{
    for (std::size_t i = 0; i < toggleCount; ++i)
        if (toggles[i].toggle != Toggle(i))
            return false;
    return true;
}
static_assert(inToggleOrder());

// Words of other writers that switch a toggle like its own word: dotted, doubled, wavy... underlines
// are underlines here, a double strike-through is a strike-through.
struct ToggleVariant {
    const char *keyword;
    Toggle toggle;
};

inline constexpr ToggleVariant toggleVariants[] = {
    {"uld", Toggle::Underline},        {"uldb", Toggle::Underline},   {"ulw", Toggle::Underline},
    {"ulwave", Toggle::Underline},     {"uldash", Toggle::Underline}, {"uldashd", Toggle::Underline},
    {"uldashdd", Toggle::Underline},   {"ulth", Toggle::Underline},   {"ulhwave", Toggle::Underline},
    {"ululdbwave", Toggle::Underline}, {"strikedl", Toggle::Strike},
};

// Formats with a number: a font of the font table, a size in half points, a colour of the colour table
// (0: none, the text's default).
enum class Value { Foreground, Background, Font, Size };

// The first word of each value is the one the writer writes; the reader takes all of them.
struct ValueWord {
    Value value;
    const char *keyword;
};

inline constexpr ValueWord valueWords[] = {
    {Value::Foreground, "cf"}, {Value::Background, "highlight"},
    {Value::Background, "cb"}, {Value::Background, "chcbpat"},
    {Value::Font, "f"},        {Value::Size, "fs"},
};

constexpr const char *keyword(Value value)
{
    for (const ValueWord &word : valueWords)
        if (word.value == value)
            return word.keyword;
    return nullptr;
}

// Paragraph alignments. The first is the one \pard sets, which the writer therefore never writes; a
// block takes the first entry whose flag its alignment has (\qd, distributed, reads as justified).
struct Alignment {
    Qt::AlignmentFlag alignment;
    const char *keyword;
};

inline constexpr Alignment alignments[] = {
    {Qt::AlignLeft, "ql"},    {Qt::AlignHCenter, "qc"}, {Qt::AlignRight, "qr"},
    {Qt::AlignJustify, "qj"}, {Qt::AlignJustify, "qd"},
};

constexpr std::size_t alignmentOf(Qt::Alignment alignment)
{
    for (std::size_t i = 1; i < std::size(alignments); ++i)
        if (alignment & alignments[i].alignment)
            return i;
    return 0;
}

} // namespace RtfFormats
