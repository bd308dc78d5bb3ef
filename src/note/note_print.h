#pragma once

#include <QString>

class QTextDocument;

// "Print": a note's whole formatted text on the system's default printer, without a dialog. The job is
// named after the note's title, fills the page's printable area, and runs page after page from the first
// character to the last; an empty note gives one page. No header, footer or page number.
namespace NotePrint {

// Throws AppError when there is no printer, or the printer cannot take the job, with the message in the
// interface language.
void print(const QTextDocument &document, const QString &title);

} // namespace NotePrint
