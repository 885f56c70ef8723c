#include "favorites/Enumeration.h"

#include <functional>
#include <vector>

#include <QDir>
#include <QFileInfo>

#include "favorites/Maintenance.h"
#include "platform/Paths.h"

namespace favorites
{

namespace
{

// Listing order: by name, ignoring case, as Windows file systems list their entries. The program itself
// never sorts; this only makes the platform's order deterministic here.
constexpr QDir::SortFlags kListingOrder = QDir::Name | QDir::IgnoreCase;

QStringList subfolderNames(const QString& folder)
{
    // NoSymLinks: a link to a folder is never walked, so a link loop cannot trap the walk.
    return QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System | QDir::NoSymLinks,
                                  kListingOrder);
}

// Visits every subfolder of root at any depth in depth-first pre-order without recursion, so that a very
// deep tree cannot exhaust the stack.
void walkSubfolders(const QString& root, const std::function<void(const QString&)>& visit)
{
    struct Level
    {
        QString folder;
        QStringList names;
        int next = 0;
    };
    std::vector<Level> stack;
    stack.push_back({root, subfolderNames(root), 0});
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next >= level.names.size()) {
            stack.pop_back();
            continue;
        }
        const QString path = platform::joinPath(level.folder, level.names.at(level.next++));
        // A restore stopped half-way keeps the favorites it was moving in working folders of its own, until the
        // next start puts them back: they are not the user's folders.
        if (stack.size() == 1 && isRestoreWorkingFolder(path))
            continue;
        visit(path);
        stack.push_back({path, subfolderNames(path), 0}); // invalidates `level`
    }
}

} // namespace

void ScanFolder(Catalogue& catalogue, const QString& folder)
{
    const QDir dir(folder);
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, kListingOrder);
    for (const QFileInfo& entry : entries) {
        if (platform::isHiddenOrSystem(entry))
            continue;
        ++catalogue.fileCount;
        catalogue.fileName.append(entry.fileName());
        catalogue.filePath.append(folder);
    }
}

void ScanTree(Catalogue& catalogue, const QString& folder)
{
    walkSubfolders(folder, [&catalogue](const QString& path) { ScanFolder(catalogue, path); });
}

void ListFolders(Catalogue& catalogue, const QString& folder)
{
    walkSubfolders(folder, [&catalogue](const QString& path) {
        ++catalogue.folderCount;
        catalogue.folderList.append(path);
    });
}

void collectFiles(Catalogue& catalogue)
{
    catalogue.clearFiles();
    if (catalogue.favPath.isEmpty())
        return;
    ScanFolder(catalogue, catalogue.favPath);
    ScanTree(catalogue, catalogue.favPath);
}

} // namespace favorites
