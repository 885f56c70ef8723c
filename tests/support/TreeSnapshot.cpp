#include "support/TreeSnapshot.h"

#include <filesystem>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include "support/TempFavorites.h"

namespace testsupport
{

namespace
{

// Calls visit(relative path, entry) for every entry below root, hidden ones included.
template <typename Visit> void walk(const QString& root, Visit visit)
{
    const QDir base(root);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        visit(base.relativeFilePath(info.filePath()), info);
    }
}

// A named pipe, socket or device: never opened (a pipe would wait for a writer).
bool isSpecial(const QFileInfo& info)
{
    return !info.isSymLink() && !info.isDir() && !info.isFile() && info.exists();
}

// A link's target exactly as written in it, not resolved.
QByteArray linkText(const QFileInfo& info)
{
    std::error_code code;
    const std::filesystem::path target =
        std::filesystem::read_symlink(std::filesystem::path(QFile::encodeName(info.filePath()).toStdString()), code);
    return code ? "<unreadable link>" : QByteArray::fromStdString(target.string());
}

} // namespace

TreeSnapshot snapshotTree(const QString& root)
{
    TreeSnapshot tree;
    if (!QFileInfo(root).isDir())
        return tree;
    walk(root, [&tree](const QString& relative, const QFileInfo& info) {
        if (info.isDir())
            tree.folders.insert(relative);
        else
            tree.files.insert(relative, isSpecial(info) ? QByteArray("<special>") : readFile(info.filePath()));
    });
    return tree;
}

QMap<QString, QByteArray> folderContents(const QString& root)
{
    QMap<QString, QByteArray> tree;
    walk(root, [&tree](const QString& relative, const QFileInfo& info) {
        if (info.isSymLink())
            tree.insert(relative, "<link>" + linkText(info));
        else if (isSpecial(info))
            tree.insert(relative, "<special>");
        else if (info.isDir())
            tree.insert(relative + QLatin1Char('/'), QByteArray());
        else
            tree.insert(relative, readFile(info.filePath()));
    });
    return tree;
}

QString describeDifference(const TreeSnapshot& expected, const TreeSnapshot& actual)
{
    QStringList lines;
    for (auto it = expected.files.cbegin(); it != expected.files.cend(); ++it) {
        if (!actual.files.contains(it.key()))
            lines << QStringLiteral("missing file %1").arg(it.key());
        else if (actual.files.value(it.key()) != it.value())
            lines << QStringLiteral("changed file %1 (%2 bytes, expected %3)")
                         .arg(it.key())
                         .arg(actual.files.value(it.key()).size())
                         .arg(it.value().size());
    }
    for (auto it = actual.files.cbegin(); it != actual.files.cend(); ++it) {
        if (!expected.files.contains(it.key()))
            lines << QStringLiteral("unexpected file %1").arg(it.key());
    }
    for (const QString& folder : expected.folders) {
        if (!actual.folders.contains(folder))
            lines << QStringLiteral("missing folder %1").arg(folder);
    }
    for (const QString& folder : actual.folders) {
        if (!expected.folders.contains(folder))
            lines << QStringLiteral("unexpected folder %1").arg(folder);
    }
    lines.sort();
    return lines.join(QLatin1Char('\n'));
}

bool writeTree(const QString& root, const TreeSnapshot& tree)
{
    if (!QDir().mkpath(root))
        return false;
    for (const QString& folder : tree.folders) {
        if (!QDir(root).mkpath(folder))
            return false;
    }
    for (auto it = tree.files.cbegin(); it != tree.files.cend(); ++it) {
        if (!writeFile(root + QLatin1Char('/') + it.key(), it.value()))
            return false;
    }
    return true;
}

} // namespace testsupport
