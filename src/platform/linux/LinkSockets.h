#pragma once

#include <QByteArray>

// The few socket calls that the link's server, client and lock share. An address is
// what LinkFolder::address gives: a path, or a NUL and an abstract name.
namespace LinkSockets {

// A non-blocking listening socket bound to address; -1 with the errno in *error.
int listenAt(const QByteArray& address, int* error);

enum class Reach { Connected, NoPartner, Busy, Failed };
// Connects a blocking socket, waiting at most timeoutMs (-1: for ever) while the
// partner's queue is full. The descriptor in *fd when Connected.
Reach connectTo(const QByteArray& address, int timeoutMs, int* fd);

// True when the process at the other end of a connected socket runs as this user.
bool peerIsThisUser(int fd);
// The peer's uid, or -1 when the kernel does not say.
long long peerUid(int fd);

void closeFd(int fd);

} // namespace LinkSockets
