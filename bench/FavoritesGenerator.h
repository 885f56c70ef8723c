#pragma once

// Builds large, realistic Favorites trees for the benchmarks.

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include "platform/Paths.h"

namespace bench
{

struct GeneratedTree
{
    QStringList folders;   // every folder that holds favorites, the root first
    QStringList files;     // full path of every favorite
    QStringList fileNames; // matching name
    QStringList filePaths; // matching folder
};

/// Writes `favorites` shortcut files spread evenly over `folders` folders (nested up to three deep)
/// under root, with IE-style contents. Returns what was written.
inline GeneratedTree generateFavorites(const QString& root, int favorites, int folders)
{
    GeneratedTree tree;
    QDir().mkpath(root);
    tree.folders << root;
    for (int f = 1; f < folders; ++f) {
        // Every tenth folder is a top-level category; the others nest one or two levels below it.
        const QString parent =
            f % 10 == 1 || tree.folders.size() < 2 ? root : tree.folders.at(qMax(1, f - 1 - (f % 3)));
        const QString path = platform::joinPath(parent, QStringLiteral("分类 %1").arg(f));
        QDir().mkpath(path);
        tree.folders << path;
    }
    for (int i = 0; i < favorites; ++i) {
        const QString folder = tree.folders.at(i % tree.folders.size());
        const QString name = QStringLiteral("Favorite site %1 收藏.url").arg(i);
        const QString path = platform::joinPath(folder, name);
        const QByteArray url = "http://host" + QByteArray::number(i % 997) + ".example.test/path/" +
                               QByteArray::number(i) + "/index.html?ref=favorites";
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.write("[DEFAULT]\r\nBASEURL=" + url +
                       "\r\n[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,2\r\n"
                       "[InternetShortcut]\r\nURL=" +
                       url +
                       "\r\nIDList=\r\nIconFile=http://host.example.test/favicon.ico\r\n"
                       "IconIndex=1\r\n");
        }
        tree.files << path;
        tree.fileNames << name;
        tree.filePaths << folder;
    }
    return tree;
}

/// Writes a results file with one line per favorite (histories of one to four verdicts).
inline void generateResults(const QString& path, const GeneratedTree& tree)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    static const char* const histories[] = {"YES|||", "YES|NO||", "NO|NO|NO|", "NO|NO|NO|NO", "YES|YES|NO|YES"};
    for (int i = 0; i < tree.files.size(); ++i) {
        file.write((tree.filePaths.at(i) + QLatin1Char('|') + tree.fileNames.at(i) + QLatin1Char('|')).toUtf8());
        file.write(histories[i % 5]);
        file.write("\r\n");
    }
}

} // namespace bench
