#pragma once

#include <QElapsedTimer>
#include <QToolButton>

class QTimer;

// One button of a spin button pair: a tool button that repeats its click while it is held down and can carry a
// focus mark.
//
// The repeat does not use QAbstractButton's own auto-repeat, whose timer is restarted at every step and so drifts
// with the load of the event loop: here step n comes repeatDelay + (n - 1) * repeatInterval after the press, however
// late the steps before it were, and the release clicks once more. So a press held for a little over one second
// steps seven times and once more on release.
class TTimerSpeedButton : public QToolButton {
    Q_OBJECT

public:
    static constexpr int repeatDelay = 400;
    static constexpr int repeatInterval = 100;

    explicit TTimerSpeedButton(QWidget *parent = nullptr);

    // Holding the button repeats its click; off in a new button.
    bool repeatEnabled() const { return m_repeatEnabled; }
    void setRepeatEnabled(bool on) { m_repeatEnabled = on; }
    // A focus rectangle drawn over the face; off in a new button.
    bool focusMark() const { return m_focusMark; }
    void setFocusMark(bool on);
    // Created on the first press with the repeat on; null before.
    const QTimer *repeatTimer() const { return m_repeatTimer; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void repeatTick();

    bool m_repeatEnabled = false;
    bool m_focusMark = false;
    QTimer *m_repeatTimer = nullptr;
    QElapsedTimer m_heldFor;
    int m_repeats = 0;
};
