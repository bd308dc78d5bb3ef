#pragma once

#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <functional>

class TTimerSpeedButton;

// The pair of small up and down buttons at the right edge of a spin edit. Both repeat while held. Pressing one
// hands the keyboard focus to FocusControl (the edit box); the pair takes the focus itself only when it was made a
// tab stop, and then Space clicks the marked button and the arrow keys click theirs.
//
// Events are std::function members, called on the UI thread with the pair as the sender; each may be left empty.
class TCSpinButton : public QWidget {
    Q_OBJECT

public:
    static constexpr int minimumButtonWidth = 15;

    std::function<void(QObject *sender)> OnUpClick;
    std::function<void(QObject *sender)> OnDownClick;

    // 20 x 25 pixels, not a tab stop, with the default glyphs.
    explicit TCSpinButton(QWidget *parent = nullptr);

    // The glyph shown on the up or down button; a null pixmap brings back the default triangle.
    QPixmap upGlyph() const;
    void setUpGlyph(const QPixmap &glyph);
    QPixmap downGlyph() const;
    void setDownGlyph(const QPixmap &glyph);
    // The widget that takes the focus when a button is pressed; may be null.
    QWidget *focusControl() const { return m_focusControl; }
    void setFocusControl(QWidget *control) { m_focusControl = control; }

    TTimerSpeedButton *upButton() const { return m_upButton; }
    TTimerSpeedButton *downButton() const { return m_downButton; }
    // The button that carries the focus mark while the pair has the focus; the up button at first.
    TTimerSpeedButton *focusedButton() const { return m_focusedButton; }

    // The built-in glyphs: 9 x 6 pixels, a black triangle of rows 1, 3, 5 and 7 pixels wide with an empty row
    // above and below, pointing up (Qt::UpArrow) or down (any other value).
    static QPixmap defaultGlyph(Qt::ArrowType direction);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    TTimerSpeedButton *createButton();
    void layoutButtons();
    void applyGlyphs();
    void buttonClicked(TTimerSpeedButton *button);
    void buttonPressed(TTimerSpeedButton *button);
    void setFocusedButton(TTimerSpeedButton *button);

    TTimerSpeedButton *m_upButton = nullptr;
    TTimerSpeedButton *m_downButton = nullptr;
    TTimerSpeedButton *m_focusedButton = nullptr;
    QPointer<QWidget> m_focusControl;
    QPixmap m_upGlyph;
    QPixmap m_downGlyph;
};
