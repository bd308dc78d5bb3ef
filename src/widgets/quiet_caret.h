#pragma once

#include <QObject>
#include <QTimer>

// The text caret blinks while the user works and holds still, visible, after a spell without a key or mouse
// press, as GTK desktops do: a blinking caret wakes the program twice a second for as long as a note has the
// focus. Watches every input event of the application it is made for.
class QuietCaret : public QObject {
    Q_OBJECT

public:
    static constexpr int defaultIdleMs = 10000;

    explicit QuietCaret(int idleMs = defaultIdleMs, QObject *parent = nullptr);
    ~QuietCaret() override;

    bool isBlinking() const { return m_blinking; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setBlinking(bool on);

    QTimer m_idle;
    int m_flashTime;
    bool m_blinking = true;
};
