#include "platform/FavoritesFolder.h"

#include <QDir>
#include <QFileInfo>

namespace platform
{

QString favoritesFolder()
{
    QString value;
    if (qEnvironmentVariableIsSet("TESSALY_FAVORITES")) {
        value = qEnvironmentVariable("TESSALY_FAVORITES");
    } else {
        const QString home = QDir::homePath() + QLatin1String("/Favorites");
        if (QFileInfo(home).isDir())
            value = home;
    }
    // Trimmed of spaces only, as Windows' registry value is.
    int begin = 0;
    int end = value.size();
    while (begin < end && value.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && value.at(end - 1) == QLatin1Char(' '))
        --end;
    return value.mid(begin, end - begin);
}

} // namespace platform
