#include "table/FavoriteEdit.h"

#include <QDir>
#include <QFileInfo>

#include "favorites/FileOps.h"
#include "favorites/ShortcutFile.h"
#include "platform/Paths.h"
#include "table/Loader.h"

namespace table {

namespace {

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

void showRow(const AppState& state, LinkTableModel& model, int row)
{
    model.setCell(row, LinkTableModel::FolderColumn, state.table.rowFolder.at(row));
    model.setCell(row, LinkTableModel::NameColumn, displayName(state.catalogue.fileName.at(row)));
    model.setCell(row, LinkTableModel::AddressColumn, state.table.rowUrl.at(row));
}

// The folder as the program writes folders: "/Sub/" and "/Sub/Deeper/.." both become "/Sub", so that the
// row's folder matches what the next enumeration finds (and its saved history is kept).
QString normalizedFolder(const QString& folder)
{
    if (folder.isEmpty() || !folder.startsWith(platform::separator()))
        return folder;
    const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(folder));
    return clean == QLatin1String("/") ? QString() : platform::nativePath(clean);
}

} // namespace

QString favoriteEditProblem(const AppState& state, const FavoriteEdit& edit)
{
    if (edit.name.contains(QLatin1Char('/')) || edit.name.contains(platform::separator()) || edit.name == QLatin1String(".") ||
        edit.name == QLatin1String(".."))
        return QStringLiteral("名称不能包含路径分隔符：") + edit.name;
    // A name the folder listing leaves out would drop the favorite from the table. (The name alone: a file's
    // attributes would be those of a file of that name in the current folder.)
    if (platform::isHiddenName(edit.name + QStringLiteral(".url")))
        return QStringLiteral("这样的名称会使收藏成为隐藏文件：") + edit.name + QStringLiteral(".url");
    if (!edit.folder.isEmpty() && !edit.folder.startsWith(platform::separator()))
        return QStringLiteral("目录必须以 ") + platform::separator() + QStringLiteral(" 开头：") + edit.folder;

    const QString favPath = state.catalogue.favPath;
    const QString target = favPath + normalizedFolder(edit.folder);
    const QFileInfo info(target);
    if (!info.isDir())
        return QStringLiteral("目录不存在：") + target;
    const QString root = QFileInfo(favPath).canonicalFilePath();
    const QString folder = info.canonicalFilePath();
    if (root.isEmpty() || (folder != root && !folder.startsWith(root + QLatin1Char('/'))))
        return QStringLiteral("目录不在收藏夹中：") + target;
    return QString();
}

bool applyFavoriteEdit(AppState& state, LinkTableModel& model, int row, const FavoriteEdit& edit, QString* error)
{
    favorites::Catalogue& cat = state.catalogue;
    LinkTable& t = state.table;
    if (row < 1 || row > cat.fileCount || row > t.rowCount())
        return fail(error, QStringLiteral("没有这一行：") + QString::number(row));

    const QString oldName = cat.fileName.at(row);
    const QString oldFolder = cat.filePath.at(row);
    const QString newName = edit.name + QStringLiteral(".url");
    const QString newFolder = cat.favPath + normalizedFolder(edit.folder);
    const bool moves = newFolder != oldFolder || newName != oldName;
    if (moves) {
        const QString problem = favoriteEditProblem(state, edit);
        if (!problem.isEmpty())
            return fail(error, problem);
    }

    const QString oldPath = platform::joinPath(oldFolder, oldName);
    if (!favorites::SetUrl(oldPath, edit.address, error))
        return false;
    t.rowUrl[row] = edit.address;
    showRow(state, model, row);

    if (moves) {
        const QString newPath = platform::joinPath(newFolder, newName);
        if (!favorites::CopyOne(oldPath, newPath, error))
            return false; // the favorite stays where it was, with its new address
        cat.fileName[row] = newName;
        cat.filePath[row] = newFolder;
        t.rowFolder[row] = relativeFolder(cat.favPath, newFolder);
        showRow(state, model, row);
        if (!favorites::deleteOneFile(oldPath, error))
            return false; // the favorite now exists at both places
    }
    return true;
}

} // namespace table
