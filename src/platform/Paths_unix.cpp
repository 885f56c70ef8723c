#include "platform/Paths.h"

#include <QStandardPaths>

namespace platform
{

QString userLockFolder()
{
    // Made by Qt, the user's own, when the session has none.
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

} // namespace platform
