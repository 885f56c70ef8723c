#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace testsupport
{

/// A figure in kB from /proc/self/status, such as "VmHWM:" (peak resident set) or "VmRSS:"; -1 where
/// there is no such file or line.
qint64 processStatusKb(const char* key);

/// The number of threads of this process, from /proc/self/task; -1 where that cannot be read.
int processThreadCount();

/// The number of descriptors this process has open, from /proc/self/fd; sockets, when given, receives how
/// many of them are sockets (network connections and listeners, but also the display's connection).
/// -1 where that cannot be read.
int openDescriptors(int* sockets = nullptr);

} // namespace testsupport
