#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

// Writes a QTextDocument as RTF that the Windows rich-edit control and WordPad read back the same.
// Every control word ends with a delimiter, so the RTF means the same with its line breaks removed.
class RtfWriter {
public:
    static QByteArray write(const QTextDocument &document);

    // The note's text in its stored form: the RTF with every CR and LF removed.
    static QString writeNoteText(const QTextDocument &document);
};
