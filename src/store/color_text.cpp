#include "store/color_text.h"

#include "base/app_error.h"
#include "store/profile.h"

#include <array>

namespace {

struct NamedColor {
    const char *name;
    quint32 value;
};

// System colours are 0x80000000 plus the system colour index; "clNone" is the odd one out.
constexpr quint32 sys = 0x80000000u;

// Table order decides which name a value gets when two would match.
constexpr std::array<NamedColor, 42> namedColors = {{
    {"clBlack", 0x00000000},        {"clMaroon", 0x00000080},       {"clGreen", 0x00008000},
    {"clOlive", 0x00008080},        {"clNavy", 0x00800000},         {"clPurple", 0x00800080},
    {"clTeal", 0x00808000},         {"clGray", 0x00808080},         {"clSilver", 0x00C0C0C0},
    {"clRed", 0x000000FF},          {"clLime", 0x0000FF00},         {"clYellow", 0x0000FFFF},
    {"clBlue", 0x00FF0000},         {"clFuchsia", 0x00FF00FF},      {"clAqua", 0x00FFFF00},
    {"clWhite", 0x00FFFFFF},        {"clScrollBar", sys + 0},       {"clBackground", sys + 1},
    {"clActiveCaption", sys + 2},   {"clInactiveCaption", sys + 3}, {"clMenu", sys + 4},
    {"clWindow", sys + 5},          {"clWindowFrame", sys + 6},     {"clMenuText", sys + 7},
    {"clWindowText", sys + 8},      {"clCaptionText", sys + 9},     {"clActiveBorder", sys + 10},
    {"clInactiveBorder", sys + 11}, {"clAppWorkSpace", sys + 12},   {"clHighlight", sys + 13},
    {"clHighlightText", sys + 14},  {"clBtnFace", sys + 15},        {"clBtnShadow", sys + 16},
    {"clGrayText", sys + 17},       {"clBtnText", sys + 18},        {"clInactiveCaptionText", sys + 19},
    {"clBtnHighlight", sys + 20},   {"cl3DDkShadow", sys + 21},     {"cl3DLight", sys + 22},
    {"clInfoText", sys + 23},       {"clInfoBk", sys + 24},         {"clNone", 0x1FFFFFFF},
}};

} // namespace

namespace ColorText {

QString fromColor(quint32 color)
{
    for (const NamedColor &entry : namedColors) {
        if (entry.value == color)
            return QString::fromLatin1(entry.name);
    }
    return QStringLiteral("0x") + QString::number(color, 16).toUpper().rightJustified(8, QLatin1Char('0'));
}

quint32 toColor(const QString &text)
{
    const QString trimmed = text.trimmed();
    for (const NamedColor &entry : namedColors) {
        if (trimmed.compare(QLatin1StringView(entry.name), Qt::CaseInsensitive) == 0)
            return entry.value;
    }
    bool ok = false;
    const int value = Profile::parseInteger(trimmed, &ok);
    if (!ok)
        throw AppError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return static_cast<quint32>(value);
}

} // namespace ColorText
