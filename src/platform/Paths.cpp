#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>

namespace platform {

QChar separator()
{
    return QDir::separator();
}

QString joinPath(const QString& folder, const QString& name)
{
    return folder + separator() + name;
}

QString nativePath(const QString& path)
{
    QString native = QDir::toNativeSeparators(path);
    while (native.size() > 1 && native.endsWith(separator()) && !native.endsWith(QLatin1String(":\\")))
        native.chop(1);
    return native;
}

QString programFolder()
{
    return nativePath(QCoreApplication::applicationDirPath());
}

} // namespace platform
