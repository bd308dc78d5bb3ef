#include "platform/termination_signals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// The handler may only do async-signal-safe work: it writes the signal's number into a socket that
// the event loop watches.
int signalSocket[2] = {-1, -1};
constexpr int handledSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int number)
{
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(signalSocket[0], &byte, 1);
}
} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalSocket) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalSocket[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : handledSignals)
        ::sigaction(number, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    for (int number : handledSignals)
        ::signal(number, SIG_DFL);
    for (int &fd : signalSocket) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void TerminationSignals::readSignal()
{
    unsigned char byte = 0;
    if (::read(signalSocket[1], &byte, 1) == 1)
        Q_EMIT terminationRequested(byte);
}
