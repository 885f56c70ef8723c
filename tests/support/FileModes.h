#pragma once

#include <QString>

namespace testsupport
{

/// True when the file system refuses to create a file in a folder without write permission, which is not
/// the case for the superuser. Probes in a new subfolder of folder.
bool permissionsEnforced(const QString& folder);

/// Sets a file's or folder's mode from an octal number such as 0555 (owner, group, others).
bool setMode(const QString& path, int octalMode);

/// The mode of a file or folder as an octal number such as 0644; -1 when it does not exist.
int modeOf(const QString& path);

/// Makes a Unix socket file at path (bound and closed again, as a program that ended leaves one). False where
/// there are none.
bool makeSocketFile(const QString& path);

} // namespace testsupport
