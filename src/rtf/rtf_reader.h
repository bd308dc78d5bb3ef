#pragma once

#include <QByteArray>

class QTextDocument;

// Reads RTF into a QTextDocument: what the Windows rich-edit control and WordPad write (also with
// every line break removed, as the note store keeps it) and what other common writers produce.
class RtfReader {
public:
    // Replaces the document's content with the RTF in data. Throws AppError("Failed to Load Stream")
    // when data holds no readable RTF at all (it must begin with "{\rtf").
    static void read(const QByteArray &data, QTextDocument *document);

    // True when data starts like an RTF document ("{\rtf", blanks before it allowed).
    static bool looksLikeRtf(const QByteArray &data);

    // A note's stored text into its editor: RTF when the text is RTF, otherwise the text as plain
    // text; an empty text empties the document.
    static void readNoteText(const QString &text, QTextDocument *document);
};
