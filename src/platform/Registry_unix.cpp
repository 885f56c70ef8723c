#include "platform/Registry.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

QString GetRegString(RegRoot root, const QString& keyPath, const QString& valueName)
{
    const bool isFavorites = root == RegRoot::CurrentUser &&
                             keyPath.compare(QLatin1String("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
                                                           "Folders"),
                                             Qt::CaseInsensitive) == 0 &&
                             valueName.compare(QLatin1String("Favorites"), Qt::CaseInsensitive) == 0;
    if (!isFavorites)
        return QString();

    QString value;
    if (qEnvironmentVariableIsSet("TESSALY_FAVORITES")) {
        value = qEnvironmentVariable("TESSALY_FAVORITES");
    } else {
        const QString home = QDir::homePath() + QLatin1String("/Favorites");
        if (QFileInfo(home).isDir())
            value = home;
    }
    // The registry value is trimmed of spaces only, as on Windows.
    int begin = 0;
    int end = value.size();
    while (begin < end && value.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && value.at(end - 1) == QLatin1Char(' '))
        --end;
    return value.mid(begin, end - begin);
}

} // namespace platform
