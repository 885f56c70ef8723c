#pragma once

#include <QByteArray>
#include <QString>

#include "platform/Failure.h"

namespace platform
{

/// Replaces the contents of the file at path with bytes, or creates it, through a temporary file that takes
/// its place only once every byte is written: a failure (a full disk, say) or a crash leaves the old file
/// as it was. Returns false with the path and the system's reason in *failure (ReadOnlyFile when the file
/// exists and cannot be written, else WriteFailed).
bool saveFileContents(const QString& path, const QByteArray& bytes, Failure* failure = nullptr);

} // namespace platform
