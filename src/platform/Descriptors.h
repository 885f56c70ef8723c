#pragma once

namespace platform
{

/// Raises the process's soft limit on open descriptors (files and sockets) to its hard limit, as programs
/// that open many connections do; a desktop session often starts programs at 1024. Returns the soft limit
/// now in force, or -1 where the platform has no such limit or it cannot be read.
long raiseOpenFileLimit();

/// True when the process can open at least n more descriptors right now. Where the platform has no
/// per-process limit, or it cannot be told, the answer is true.
bool descriptorsAvailable(int n);

/// A stream or datagram socket of the given address family, type and protocol (the arguments of the system's
/// socket call), not inherited by child processes; -1 when it cannot be made, error then receiving the system's
/// error number.
long long openSocket(int family, int type, int protocol, int* error);
/// Closes a socket made by openSocket.
void closeSocket(long long socket);
/// How often the sockets libcurl has the event loop watch must be looked at again whatever their notifiers say, in
/// ms; 0 where a notifier tells of every event it is made for.
int socketRecheckIntervalMs();
/// True when a system error number (errno, or a Windows socket error) says that this program ran short of
/// descriptors, socket buffers or memory, rather than anything about the network or the other end.
bool isResourceShortage(int systemError);
/// True when a system error number says the other end refused the connection: nothing listens on that port.
bool isConnectionRefused(int systemError);
/// True when a system error number says the other end reset the connection (also when a write found it reset).
bool isConnectionReset(int systemError);

} // namespace platform
