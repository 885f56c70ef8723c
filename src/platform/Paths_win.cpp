#include "platform/Paths.h"

#include <QStandardPaths>

namespace platform
{

QString userLockFolder()
{
    // %TEMP%: under the user's own profile (Qt's runtime location on Windows is the profile itself).
    return QStandardPaths::writableLocation(QStandardPaths::TempLocation);
}

} // namespace platform
