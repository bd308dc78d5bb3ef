#pragma once

#include <QDeadlineTimer>
#include <QString>

#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>

// The calls on Unix-domain sockets that both ends of the local channel share.
namespace UnixSocket {

// Whether channel names live in the abstract namespace (Linux), where a name vanishes with its process and
// leaves no file to clear; elsewhere a name is a socket file.
bool abstractNames();
// The address of the channel called name. An abstract one is a NUL and the name's bytes without a closing NUL,
// as Qt's local sockets spelled it when they carried the channel: a running instance built either way and a
// later start built the other way still find each other. False when the name is too long for an address.
bool address(const QString &name, sockaddr_un &address, socklen_t &size);
// A new stream socket that programs started by this process do not inherit; -1 on failure.
int open(bool nonBlocking);
// The next connection waiting at a non-blocking listening socket, non-blocking itself; -1 when none waits.
int accept(int listener);
// Sends what the socket takes; a peer that has gone is an error, never a SIGPIPE that ends the process.
ssize_t send(int socket, const char *data, size_t size);
// Waits until the socket is ready for events (POLLIN, POLLOUT) or the deadline passes.
bool wait(int socket, short events, const QDeadlineTimer &deadline);
// Whether the process at the other end of a connected socket runs as this user or as the administrator.
bool peerIsUserOrAdministrator(int socket);

} // namespace UnixSocket
