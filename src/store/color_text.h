#pragma once

#include <QString>

// Colours are 32-bit values in the 0x00BBGGRR layout (red in the low byte) that the stored files use.
// The colour text is one of 42 names when the value matches one (first match in table order), otherwise
// "0x" and eight upper-case hexadecimal digits.
namespace ColorText {

QString fromColor(quint32 color);

// Accepts a name from the table in any letter case, or an integer in decimal or in hexadecimal after
// "0x", "0X" or "$" (blanks around the text are ignored). Anything else throws
// AppError("'<text>' is not a valid integer value").
quint32 toColor(const QString &text);

} // namespace ColorText
