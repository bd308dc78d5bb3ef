#pragma once

#include <QTextEdit>

// The note's editor: a QTextEdit that takes rich text from other programs (HTML from a web page or a word
// processor, RTF) through TextFormat::insertCleaned, so that a paste brings the text's own formats and
// not its page layout. Plain text goes in as Qt puts it.
class NoteEdit : public QTextEdit {
    Q_OBJECT

public:
    explicit NoteEdit(QWidget *parent = nullptr);

protected:
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;
};
