#pragma once

#include <QByteArray>
#include <QString>

namespace testsupport
{

/// Writes bytes to path, creating the folders on the way. Returns false on failure.
bool writeFile(const QString& path, const QByteArray& bytes);

/// Reads a whole file; an empty array when it cannot be read.
QByteArray readFile(const QString& path);

/// A minimal shortcut file for the address, with CR LF line ends.
QByteArray shortcutBytes(const QString& address);

} // namespace testsupport
