#pragma once

// The character sets that RTF fonts name with \fcharset, as the Windows code pages of their \'hh text.
namespace RtfCharsets {

// 0 -> 1252, 128 -> 932, 134 -> 936, 161 -> 1253, 204 -> 1251, 238 -> 1250, ...; 0 when the charset has
// none (1, the default, 2, the symbol charset, and unknown ones).
int codePage(int charset);

} // namespace RtfCharsets
