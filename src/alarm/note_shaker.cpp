#include "alarm/note_shaker.h"

#include "platform/gui/window.h"

#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

// The window manager carries out every step of every shaking note. Hundreds of notes ringing at once (a store
// back after a long absence) would ask more of it than it can do, and it would map no new window for
// minutes: together they take at most this many steps a tick, each note stepping less often the more ring.
constexpr int shakeStepsPerTick = 10;
constexpr int shakeTickMs = 10;
int ringingNotes = 0;

bool isOnScreen(const QWidget *window)
{
    return window->windowHandle() && window->windowHandle()->isExposed();
}

} // namespace

NoteShaker::NoteShaker(QWidget *window)
    : QObject(window)
    , m_window(window)
{}

NoteShaker::~NoteShaker()
{
    stop();
}

void NoteShaker::start()
{
    if (m_ringing)
        return;
    m_ringing = true;
    m_base = m_window->pos();
    m_offset = 0;
    m_raised = false;
    ++ringingNotes;
    if (!m_timer) {
        m_timer = new QTimer(this);
        m_timer->setInterval(shakeTickMs);
        m_timer->setTimerType(Qt::PreciseTimer);
        connect(m_timer, &QTimer::timeout, this, &NoteShaker::step);
    }
    m_timer->start();
    Window::bringToFront(m_window);
    step(); // the first step in the same moment
}

void NoteShaker::stop()
{
    if (!m_ringing)
        return;
    m_ringing = false;
    --ringingNotes;
    m_timer->stop();
}

void NoteShaker::step()
{
    if (!m_ringing)
        return;
    const int interval = shakeTickMs * std::max(1, (ringingNotes + shakeStepsPerTick - 1) / shakeStepsPerTick);
    if (m_timer->interval() != interval)
        m_timer->setInterval(interval);
    if (m_ticks < 2) {
        ++m_ticks;
    } else {
        m_step = -m_step;
        m_ticks = 0;
    }
    m_offset += m_step;
    // Each step goes to a place of its own reckoning, never from x(): the window system reports the steps
    // back late and out of turn, and before it has framed a note that rings at start-up, Qt takes the frame
    // for the client area (the note would shake a title bar higher). A window not on the screen yet (or
    // minimised, or hidden) waits, and asks nothing of the window manager meanwhile.
    if (!isOnScreen(m_window))
        return;
    // Many notes ringing together cover one another whatever is raised, and each raise costs the window manager
    // a restacking of every window: then a note comes to the front at its first step only.
    if (ringingNotes <= shakeStepsPerTick || !m_raised) {
        m_window->raise();
        m_raised = true;
    }
    m_moving = true;
    m_window->move(m_base + QPoint(m_offset, 0));
    m_moving = false;
    m_spots.append(m_window->geometry().topLeft());
    if (m_spots.size() > 16)
        m_spots.removeFirst();
}

bool NoteShaker::windowMoved(const QPoint &pos)
{
    if (!m_ringing)
        return true;
    // A window not on the screen yet is being framed and placed, not dragged.
    if (m_moving || m_spots.contains(pos) || !isOnScreen(m_window))
        return false;
    m_base = m_window->pos();
    return true;
}
