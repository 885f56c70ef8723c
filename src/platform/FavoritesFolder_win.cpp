#include "platform/FavoritesFolder.h"

#include <string>

#include <windows.h>

#include <QByteArray>

#include "platform/CodePage.h"
#include "platform/win/RegistryWin.h"

namespace platform
{

namespace
{

// Reads one string value under HKEY_CURRENT_USER\keyPath through the ANSI registry functions, which take and return
// the system code page; the reading itself, with its 1024-byte limit and the trimming of spaces, is in the Qt-free
// platform/win/RegistryWin.cpp. Empty when the key or the value does not exist or is not a string.
QString GetRegString(const QString& keyPath, const QString& valueName)
{
    const QByteArray path = encodeSystem(keyPath);
    const QByteArray name = encodeSystem(valueName);
    const std::string value = win::readRegistryStringA(HKEY_CURRENT_USER, path.constData(), name.constData());
    return decodeSystem(QByteArray::fromStdString(value));
}

} // namespace

QString favoritesFolder()
{
    return GetRegString(QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"),
                        QStringLiteral("Favorites"));
}

} // namespace platform
