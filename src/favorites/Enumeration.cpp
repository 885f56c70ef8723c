#include "favorites/Enumeration.h"

#include <functional>
#include <vector>

#include "favorites/Maintenance.h"
#include "platform/Paths.h"

namespace favorites
{

namespace
{

// Visits every subfolder of root at any depth in depth-first pre-order without recursion, so that a very
// deep tree cannot exhaust the stack. Links to folders are never listed, so a link loop cannot trap the walk.
void walkSubfolders(const QString& root, const std::function<void(const QString&)>& visit)
{
    struct Level
    {
        QString folder;
        QStringList names;
        int next = 0;
    };
    std::vector<Level> stack;
    stack.push_back({root, platform::subfolderNames(root), 0});
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
        stack.push_back({path, platform::subfolderNames(path), 0}); // invalidates `level`
    }
}

} // namespace

void ScanFolder(Catalogue& catalogue, const QString& folder)
{
    for (const QString& name : platform::plainFileNames(folder)) {
        ++catalogue.fileCount;
        catalogue.fileName.append(name);
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
