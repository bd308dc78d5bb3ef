#pragma once

#include <QLineEdit>

#include <functional>

class QMenu;
class TCSpinButton;

// A one-line numeric edit box with a pair of up and down buttons at its right edge.
//
// The value lives only in the text. Typing is filtered by IsValidChar, the up and down arrow keys and the buttons
// step by Increment (holding a button repeats), and written values are kept in MinValue..MaxValue; with the two
// bounds equal there are no bounds at all. Text that is not a whole number reads as MinValue and is replaced by it.
// Leaving the box writes the bounded value back, so "250" typed into a box of 1..100 shows "100".
//
// Refused characters and steps on a read-only box sound Beep(). Enter is a refused character too, so it beeps and
// does not reach the dialog: a dialog that wants Enter to confirm needs OK to have the focus.
class TCSpinEdit : public QLineEdit {
    Q_OBJECT

public:
    using BeepHandler = std::function<void()>;

    static constexpr int buttonWidth = 15;
    static constexpr int buttonHeight = 17;

    // Text "0", range 0..0 (no bounds), increment 1, editor enabled, auto-select on.
    explicit TCSpinEdit(QWidget *parent = nullptr);

    int minValue() const { return m_minValue; }
    void setMinValue(int value) { m_minValue = value; }
    int maxValue() const { return m_maxValue; }
    void setMaxValue(int value) { m_maxValue = value; }
    int increment() const { return m_increment; }
    void setIncrement(int step) { m_increment = step; }
    // Whether the user may type into the box; the buttons and arrow keys step either way.
    bool editorEnabled() const { return m_editorEnabled; }
    void setEditorEnabled(bool on) { m_editorEnabled = on; }
    // Select the whole text when the focus arrives other than by a left click into the box.
    bool autoSelect() const { return m_autoSelect; }
    void setAutoSelect(bool on) { m_autoSelect = on; }

    // The text as a signed 32-bit number (optional sign, decimal digits, nothing else). Text that is not one is
    // replaced by MinValue, which is returned. The bounds are not applied here.
    int value();
    // Shows CheckValue(value).
    void setValue(int value);
    // The value kept in the bounds; the lower bound is tested first, so with MinValue above MaxValue anything
    // below MinValue gives MinValue and everything else MaxValue.
    int CheckValue(int value) const;

    // Whether a typed character may enter the box: the locale's decimal separator, "+", "-", the digits and the
    // control characters below 32 except Enter; with the editor disabled only those control characters, and not
    // Backspace.
    virtual bool IsValidChar(QChar key) const;
    // Value + Increment (wrapping in 32 bits, then bounded); a beep and nothing else when read-only.
    virtual void UpClick(QObject *sender);
    // Value - Increment, likewise.
    virtual void DownClick(QObject *sender);

    TCSpinButton *button() const { return m_button; }
    // F + min(S, F) / 4 + 6, F and S being the line heights of the box's font and of the system font. The box is
    // never lower than this.
    int minimumEditHeight() const;

    // Paste and cut do nothing while the box is read-only or its editor disabled. These hide QLineEdit's slots of
    // the same names, and the keys, the middle button and dropping go through the same rule. The context menu of a
    // box that is not editable offers what a read-only box's does: copy and select all.
    void paste();
    void cut();
    QMenu *createStandardContextMenu();

    // Sounds the beep of refused input: QApplication::beep() unless a handler was set.
    static void Beep();
    // Replaces the beep (an empty handler restores the default); returns the previous handler.
    static BeepHandler setBeepHandler(BeepHandler handler);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    bool editable() const { return m_editorEnabled && !isReadOnly(); }
    void layoutButton();
    void updateMinimumHeight();

    TCSpinButton *m_button = nullptr;
    int m_minValue = 0;
    int m_maxValue = 0;
    int m_increment = 1;
    bool m_editorEnabled = true;
    bool m_autoSelect = true;
    // Set between a focus arrival by mouse and the end of that press's delivery (see focusInEvent).
    bool m_mouseFocusPending = false;
    bool m_leftPressInBox = false;
};
