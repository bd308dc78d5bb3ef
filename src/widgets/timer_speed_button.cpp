#include "widgets/timer_speed_button.h"

#include <QMouseEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QTimer>

#include <algorithm>

TTimerSpeedButton::TTimerSpeedButton(QWidget *parent)
    : QToolButton(parent)
{
    // The focus stays with the edit box (or the pair); the button itself is never a tab stop.
    setFocusPolicy(Qt::NoFocus);
}

void TTimerSpeedButton::setFocusMark(bool on)
{
    if (m_focusMark == on)
        return;
    m_focusMark = on;
    update();
}

void TTimerSpeedButton::mousePressEvent(QMouseEvent *event)
{
    QToolButton::mousePressEvent(event);
    if (!m_repeatEnabled)
        return;
    if (!m_repeatTimer) {
        m_repeatTimer = new QTimer(this);
        m_repeatTimer->setTimerType(Qt::PreciseTimer);
        m_repeatTimer->setSingleShot(true);
        connect(m_repeatTimer, &QTimer::timeout, this, &TTimerSpeedButton::repeatTick);
    }
    m_repeats = 0;
    m_heldFor.start();
    m_repeatTimer->start(repeatDelay);
}

void TTimerSpeedButton::mouseReleaseEvent(QMouseEvent *event)
{
    QToolButton::mouseReleaseEvent(event);
    if (m_repeatTimer)
        m_repeatTimer->stop();
}

void TTimerSpeedButton::repeatTick()
{
    // Each tick aims at its place in the schedule counted from the press, so a late tick does not push the later
    // ones back.
    ++m_repeats;
    const qint64 next = repeatDelay + qint64(m_repeats) * repeatInterval - m_heldFor.elapsed();
    m_repeatTimer->start(int(std::clamp<qint64>(next, 0, repeatInterval)));
    // Down means the left button is held and the pointer is over the button; dragged off, the steps pause.
    if (isDown())
        emit clicked(isChecked());
}

void TTimerSpeedButton::paintEvent(QPaintEvent *event)
{
    QToolButton::paintEvent(event);
    if (!m_focusMark)
        return;
    QStylePainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.backgroundColor = palette().color(QPalette::Button);
    option.rect = rect().adjusted(3, 3, -3, -3);
    if (isDown())
        option.rect.translate(1, 1);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}
