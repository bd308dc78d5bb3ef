#pragma once

#include <QByteArray>
#include <QString>

// 8-bit and double-byte Windows code pages (1250-1258, 874, 932, 936, 949, 950, ...), which RTF uses
// for its \'hh text and language files for theirs. The platform's converter does the work (iconv on Linux,
// the system's own conversion on Windows).
namespace CodePage {

// Text from bytes in the code page; bytes that do not decode become U+FFFD. Unknown code pages
// decode as Windows-1252.
QString decode(int codePage, const QByteArray &bytes);
// Bytes for text in the code page, or false when some character has no encoding there.
bool encode(int codePage, const QString &text, QByteArray *bytes);

} // namespace CodePage
