#include "support/TempFavorites.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "favorites/Enumeration.h"
#include "platform/Paths.h"
#include "support/TreeSnapshot.h"
#include "table/LinkTable.h"
#include "table/Loader.h"

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

QStringList resultLines(const QString& path)
{
    QStringList lines = QString::fromUtf8(readFile(path)).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

QStringList diskNames(const QString& fav)
{
    favorites::Catalogue cat;
    cat.favPath = fav;
    favorites::collectFiles(cat);
    QStringList names;
    for (int i = 1; i <= cat.fileCount; ++i)
        names.append(cat.filePath.at(i).mid(fav.size()) + platform::separator() + cat.fileName.at(i).chopped(4));
    return names;
}

QStringList tableNames(const table::LinkTable& table)
{
    QStringList names;
    for (int r = 1; r <= table.rowCount(); ++r)
        names.append(table.rowFolder(r) + platform::separator() + table::displayName(table.fileName(r)));
    return names;
}

bool everyFavoriteKept(const QMap<QString, QByteArray>& before, const QString& fav, const QString& backup,
                       const QStringList& except)
{
    const QMap<QString, QByteArray> inFav = folderContents(fav);
    const QMap<QString, QByteArray> inBackup = folderContents(backup);
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (it.key().endsWith(u'/') || except.contains(it.key()))
            continue;
        if (inFav.value(it.key()) != it.value() && inBackup.value(it.key()) != it.value()) {
            qWarning("favorite lost: %s", qPrintable(it.key()));
            return false;
        }
    }
    return true;
}

QString emptyTrash()
{
    static const QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    const QString trash = dataHome.path() + QStringLiteral("/Trash");
    QDir(trash).removeRecursively();
    return trash;
}

bool markWorkingFolder(const QString& folder, const QByteArray& phase, const QString& name)
{
    QByteArray marker =
        "Tessaly working folder: the program removes it when its work is done.\r\nphase=" + phase + "\r\n";
    if (!name.isEmpty())
        marker += "name=" + name.toUtf8() + "\r\n";
    return writeFile(folder + QStringLiteral("/.tessaly-working-folder"), marker);
}

} // namespace testsupport
