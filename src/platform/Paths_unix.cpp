#include "platform/Paths.h"

namespace platform
{

bool isHiddenOrSystem(const QFileInfo& info)
{
    return info.fileName().startsWith(QLatin1Char('.'));
}

bool isHiddenOrSystem(const NativePath& path)
{
    const std::string name = path.filename().native();
    return !name.empty() && name.front() == '.';
}

} // namespace platform
