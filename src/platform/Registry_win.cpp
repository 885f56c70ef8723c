#include "platform/Registry.h"

#include <windows.h>

#include <QByteArray>

#include "platform/CodePage.h"

namespace platform {

QString GetRegString(RegRoot root, const QString& keyPath, const QString& valueName)
{
    HKEY rootKey = root == RegRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    HKEY key = nullptr;
    const QByteArray path = encodeSystem(keyPath);
    if (RegOpenKeyA(rootKey, path.constData(), &key) != ERROR_SUCCESS)
        return QString();

    QByteArray buffer(1024, ' ');
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(buffer.size());
    const QByteArray name = encodeSystem(valueName);
    const LONG rc = RegQueryValueExA(key, name.constData(), nullptr, &type,
                                     reinterpret_cast<LPBYTE>(buffer.data()), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ))
        return QString();

    buffer.truncate(static_cast<int>(size));
    const int nul = buffer.indexOf('\0');
    if (nul >= 0)
        buffer.truncate(nul);
    QString value = decodeSystem(buffer);
    while (value.startsWith(QLatin1Char(' ')))
        value.remove(0, 1);
    while (value.endsWith(QLatin1Char(' ')))
        value.chop(1);
    return value;
}

} // namespace platform
