#pragma once

#include "rtf/rtf_lists.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>

#include <functional>

class QTextDocument;

// The formatting rules of a note's text, worked on a cursor of its editor: what format a selection reports,
// how styles, sizes, lists and letter case are written, and what of another program's text is kept when it
// is pasted. Everything here is one undo step per call.
namespace TextFormat {

// The style set as the note's commands count it.
enum StyleBit { Bold = 1, Italic = 2, Underline = 4, StrikeOut = 8 };

// The one format a selection reports: that of its first character; without a selection, the format the
// caret gives text typed next.
QTextCharFormat selectionFormat(const QTextCursor &cursor);

// A size in whole points (twips divided by 20, the fraction dropped); text without a size of its own has
// that of defaultFont.
int wholePoints(const QTextCharFormat &format, const QFont &defaultFont);

int styleBits(const QTextCharFormat &format);
// Writes all four styles of bits into format, each set or cleared.
void setStyleBits(QTextCharFormat &format, int bits);

// A font with its colour as a character format: face, size, the four styles, pitch and, when valid, colour.
QTextCharFormat fontFormat(const QFont &font, const QColor &color);

// Puts the paragraphs the cursor touches into a list of kind, or with Kind::None out of their lists.
void setList(const QTextCursor &cursor, RtfLists::Kind kind);
// Adjacent paragraphs in lists of one style become one list, and a list broken by other paragraphs one
// list per unbroken run: items count as the note store reads them back.
void joinLists(QTextDocument *document);

// Replaces the selected text with convert(text), one run of one format at a time, so that every character
// keeps its format even where the converted text is longer or shorter. The cursor then selects the result.
void convertCase(QTextCursor &cursor, const std::function<QString(const QString &)> &convert);

// Inserts another program's rich text in place of the cursor's selection, keeping what a note's text holds
// (faces, sizes, the four styles, text colours, highlights, alignment, lists) and leaving out its page
// layout: margins, indents and spacing (pasted paragraphs take those of the paragraph pasted into), page
// and table backgrounds, tables, frames and fixed widths, images. A background under every pasted
// character is the page's, not a highlight, and is left out too.
void insertCleaned(QTextCursor &cursor, const QTextDocument &source);

} // namespace TextFormat
