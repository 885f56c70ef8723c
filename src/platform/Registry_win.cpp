#include "platform/Registry.h"

#include <string>

#include <windows.h>

#include <QByteArray>

#include "platform/CodePage.h"
#include "platform/win/RegistryWin.h"

namespace platform
{

QString GetRegString(RegRoot root, const QString& keyPath, const QString& valueName)
{
    HKEY rootKey = root == RegRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    // The ANSI registry functions take and return the system code page; the reading itself, with its
    // 1024-byte limit and the trimming of spaces, is in the Qt-free platform/win/RegistryWin.cpp.
    const QByteArray path = encodeSystem(keyPath);
    const QByteArray name = encodeSystem(valueName);
    const std::string value = win::readRegistryStringA(rootKey, path.constData(), name.constData());
    return decodeSystem(QByteArray::fromStdString(value));
}

} // namespace platform
