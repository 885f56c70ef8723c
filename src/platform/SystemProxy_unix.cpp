#include "platform/SystemProxy.h"

namespace platform
{

// Here the users name their proxy in the environment, for curl and every other program of theirs alike; libcurl
// reads it itself, in the same way.
std::optional<QByteArray> systemProxy(const QUrl&)
{
    return std::nullopt;
}

} // namespace platform
