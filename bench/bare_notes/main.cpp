// The floor the program's start is held to: what a Qt program must do at the least to show the same note
// windows, a rich-text edit each with its line of text, title, place and size, and nothing else.
#include "note_places.h"

#include <QApplication>
#include <QTextCursor>
#include <QTextEdit>

#include <memory>
#include <vector>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // The program's caret stops blinking a while after the last input; a blinking one here would hide, in the
    // idle wake-ups, those that the window manager causes.
    QApplication::setCursorFlashTime(0);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1;
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    std::vector<std::unique_ptr<QTextEdit>> notes;
    for (int i = 0; i < count; ++i) {
        auto note = std::make_unique<QTextEdit>();
        QTextCursor cursor(note->document());
        cursor.insertText(NotePlaces::plainWords(i));
        cursor.insertText(NotePlaces::boldWords(), bold);
        note->setWindowTitle(NotePlaces::title(i));
        note->move(NotePlaces::place(i));
        note->resize(NotePlaces::size);
        note->show();
        notes.push_back(std::move(note));
    }
    return app.exec();
}
