#include "support/TempFavorites.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace testsupport
{

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QByteArray shortcutBytes(const QString& address)
{
    return QByteArray("[InternetShortcut]\r\nURL=") + address.toUtf8() + QByteArray("\r\n");
}

} // namespace testsupport
