#pragma once

#include <QColor>
#include <QFont>
#include <QFontDialog>

#include <optional>

class QComboBox;

// A font with the colour chosen for it.
struct NoteFont {
    QFont font;
    QColor color = Qt::black;
};

// The note's font dialog: Qt's own font dialog with a colour among its effects, next to underline and
// strike-out, offering the sixteen basic colours.
class NoteFontDialog : public QFontDialog {
    Q_OBJECT

public:
    explicit NoteFontDialog(const NoteFont &initial, QWidget *parent = nullptr);

    NoteFont chosen() const;
    QComboBox *colorBox() const { return m_color; }

    // The font and colour chosen, or nothing when the dialog was cancelled.
    static std::optional<NoteFont> getFont(QWidget *parent, const NoteFont &initial);

private:
    QComboBox *m_color = nullptr;
};
