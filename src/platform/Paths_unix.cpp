#include "platform/Paths.h"

namespace platform {

bool isHiddenOrSystem(const QFileInfo& info)
{
    return isHiddenName(info.fileName());
}

bool isHiddenName(const QString& fileName)
{
    return fileName.startsWith(QLatin1Char('.'));
}

} // namespace platform
