#include "favorites/Enumeration.h"

#include <functional>
#include <vector>

#include "favorites/WorkingFolder.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace favorites
{

namespace
{

// The names of the entries of folder that keep() takes, in the order of the listing. A name the system's encoding
// cannot decode (on Linux, bytes that are not UTF-8) is left out: its text would name another file, or none.
template <typename Keep> QStringList namesIn(const QString& folder, Keep keep)
{
    std::vector<platform::FolderEntry> entries;
    platform::listFolder(platform::toNativePath(folder), &entries);
    QStringList names;
    for (const platform::FolderEntry& entry : entries) {
        if (!keep(entry))
            continue;
        const QString name = platform::fromNativePath(entry.name);
        if (platform::toNativePath(name) == entry.name)
            names.append(name);
    }
    return names;
}

// The plain files: files and links to files, hidden and system ones left out (never a named pipe, socket, device or
// a link that leads nowhere).
QStringList plainFileNames(const QString& folder)
{
    return namesIn(folder, [](const platform::FolderEntry& entry) {
        return !entry.hiddenOrSystem && entry.target == platform::EntryType::File;
    });
}

// The subfolders, hidden and system ones too; links to folders are left out, so a walk never follows them.
QStringList subfolderNames(const QString& folder)
{
    return namesIn(folder,
                   [](const platform::FolderEntry& entry) { return entry.type == platform::EntryType::Folder; });
}

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
    for (const QString& name : plainFileNames(folder)) {
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
