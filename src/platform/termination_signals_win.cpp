#include "platform/termination_signals.h"

#include <QMetaObject>

#include <windows.h>

// Console close, logoff and shutdown arrive on a thread of the system's; the request is queued to the
// user-interface thread, where the notes are written.
namespace {
TerminationSignals *receiver = nullptr;

BOOL WINAPI onConsoleEvent(DWORD type)
{
    if (receiver)
        QMetaObject::invokeMethod(receiver, "terminationRequested", Qt::QueuedConnection, Q_ARG(int, int(type)));
    return TRUE;
}
} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
    receiver = this;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

TerminationSignals::~TerminationSignals()
{
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    receiver = nullptr;
}

void TerminationSignals::readSignal() {}
