#include "widgets/quiet_caret.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QStyleHints>
#include <QWidget>

QuietCaret::QuietCaret(int idleMs, QObject *parent)
    : QObject(parent)
    , m_flashTime(QGuiApplication::styleHints()->cursorFlashTime())
{
    m_idle.setSingleShot(true);
    m_idle.setInterval(idleMs);
    connect(&m_idle, &QTimer::timeout, this, [this] { setBlinking(false); });
    qApp->installEventFilter(this);
    m_idle.start();
}

QuietCaret::~QuietCaret()
{
    setBlinking(true);
}

bool QuietCaret::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::InputMethod:
        setBlinking(true);
        m_idle.start();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void QuietCaret::setBlinking(bool on)
{
    if (m_blinking == on)
        return;
    m_blinking = on;
    QGuiApplication::styleHints()->setCursorFlashTime(on ? m_flashTime : 0);
}
