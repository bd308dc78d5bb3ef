#include "note/note_edit.h"

#include "base/app_error.h"
#include "note/text_format.h"
#include "rtf/rtf_reader.h"

#include <QMimeData>
#include <QTextDocument>

namespace {

// What word processors call their RTF on the clipboard.
constexpr const char *rtfTypes[] = {"text/rtf", "application/rtf", "text/richtext"};

} // namespace

NoteEdit::NoteEdit(QWidget *parent)
    : QTextEdit(parent)
{}

bool NoteEdit::canInsertFromMimeData(const QMimeData *source) const
{
    for (const char *type : rtfTypes) {
        if (source->hasFormat(QLatin1String(type)))
            return true;
    }
    return QTextEdit::canInsertFromMimeData(source);
}

void NoteEdit::insertFromMimeData(const QMimeData *source)
{
    if (isReadOnly() || !source)
        return;
    QTextDocument rich;
    bool isRich = false;
    if (source->hasHtml()) {
        rich.setHtml(source->html());
        isRich = true;
    } else {
        for (const char *type : rtfTypes) {
            if (!source->hasFormat(QLatin1String(type)))
                continue;
            try {
                RtfReader::read(source->data(QLatin1String(type)), &rich);
                isRich = true;
            } catch (const AppError &) {
                // Not RTF after all: the plain text below, if the clipboard has one.
            }
            break;
        }
    }
    if (!isRich) {
        QTextEdit::insertFromMimeData(source);
        return;
    }
    QTextCursor cursor = textCursor();
    TextFormat::insertCleaned(cursor, rich);
    setTextCursor(cursor);
    ensureCursorVisible();
}
