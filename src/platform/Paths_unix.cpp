#include "platform/Paths.h"

namespace platform
{

bool isHiddenOrSystem(const QFileInfo& info)
{
    return info.fileName().startsWith(QLatin1Char('.'));
}

} // namespace platform
