#pragma once

#include <QList>
#include <QObject>
#include <QPoint>

class QTimer;
class QWidget;

// The ringing of a note window: it comes to the front and shakes sideways, one step every 10 ms (+1, +2, +1, 0,
// -1, 0 pixels from where it was put, or where the user has put it since), until stop().
class NoteShaker : public QObject {
    Q_OBJECT

public:
    explicit NoteShaker(QWidget *window);
    ~NoteShaker() override;

    // Starts the ringing, with its first step at once; a ringing window rings on as it was.
    void start();
    // Ends the ringing where the shake has left the window; the caller puts it back at base().
    void stop();
    bool isRinging() const { return m_ringing; }
    // Where the ringing window was put: what it shakes around, and what the store keeps.
    QPoint base() const { return m_base; }
    // One step of the shake.
    void step();
    // The window moved to the client position pos. A move that is none of the shake's steps is the user's:
    // the window shakes on where it was put, and true tells that the note moved.
    bool windowMoved(const QPoint &pos);
    // The client positions the shake asked for lately are forgotten.
    void forgetSteps() { m_spots.clear(); }

private:
    QWidget *m_window;
    bool m_ringing = false;
    QPoint m_base;
    QTimer *m_timer = nullptr; // runs only while the window rings
    int m_ticks = 0;           // ticks since the shake last turned
    int m_step = 1;            // pixels per tick, +1 or -1
    int m_offset = 0;          // pixels from m_base
    bool m_moving = false;     // inside the shake's own move
    bool m_raised = false;     // came to the front since the ringing began
    QList<QPoint> m_spots;     // the client positions the shake asked for lately
};
