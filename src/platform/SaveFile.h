#pragma once

#include <QByteArray>
#include <QString>

namespace platform
{

/// Replaces the contents of the file at path with bytes, or creates it, through a temporary file that takes
/// its place only once every byte is written: a failure (a full disk, say) or a crash leaves the old file
/// as it was. Returns false with the system's reason in *error.
bool saveFileContents(const QString& path, const QByteArray& bytes, QString* error = nullptr);

} // namespace platform
