#include "table/FavoriteEdit.h"

#include <QDir>
#include <QFileInfo>

#include "favorites/FileOps.h"
#include "favorites/ShortcutFile.h"
#include "platform/Paths.h"
#include "table/Loader.h"

namespace table {

using platform::fail;
using platform::Failure;
using platform::FailureKind;

namespace {

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

Failure favoriteEditProblem(const AppState& state, const FavoriteEdit& edit)
{
    Failure problem;
    if (edit.name.contains(QLatin1Char('/')) || edit.name.contains(platform::separator()) || edit.name == QLatin1String(".") ||
        edit.name == QLatin1String("..")) {
        fail(&problem, FailureKind::NameHasSeparator, edit.name);
        return problem;
    }
    // A name the folder listing leaves out would drop the favorite from the table.
    if (platform::isHiddenOrSystem(QFileInfo(edit.name + QStringLiteral(".url")))) {
        fail(&problem, FailureKind::NameWouldBeHidden, edit.name + QStringLiteral(".url"));
        return problem;
    }
    if (!edit.folder.isEmpty() && !edit.folder.startsWith(platform::separator())) {
        fail(&problem, FailureKind::FolderNeedsSeparator, edit.folder);
        return problem;
    }

    const QString favPath = state.catalogue.favPath;
    const QString target = favPath + normalizedFolder(edit.folder);
    const QFileInfo info(target);
    if (!info.isDir()) {
        fail(&problem, FailureKind::TargetFolderMissing, target);
        return problem;
    }
    const QString root = QFileInfo(favPath).canonicalFilePath();
    const QString folder = info.canonicalFilePath();
    if (root.isEmpty() || (folder != root && !folder.startsWith(root + QLatin1Char('/'))))
        fail(&problem, FailureKind::TargetFolderOutside, target);
    return problem;
}

bool applyFavoriteEdit(AppState& state, LinkTableModel& model, int row, const FavoriteEdit& edit, Failure* failure)
{
    favorites::Catalogue& cat = state.catalogue;
    LinkTable& t = state.table;
    if (row < 1 || row > cat.fileCount || row > t.rowCount())
        return fail(failure, FailureKind::NoSuchRow, QString::number(row));

    const QString oldName = cat.fileName.at(row);
    const QString oldFolder = cat.filePath.at(row);
    const QString newName = edit.name + QStringLiteral(".url");
    const QString newFolder = cat.favPath + normalizedFolder(edit.folder);
    const bool moves = newFolder != oldFolder || newName != oldName;
    if (moves) {
        const Failure problem = favoriteEditProblem(state, edit);
        if (problem.failed()) {
            if (failure)
                *failure = problem;
            return false;
        }
    }

    const QString oldPath = platform::joinPath(oldFolder, oldName);
    if (!favorites::SetUrl(oldPath, edit.address, failure))
        return false;
    t.rowUrl[row] = edit.address;
    showRow(state, model, row);

    if (moves) {
        const QString newPath = platform::joinPath(newFolder, newName);
        if (!favorites::CopyOne(oldPath, newPath, failure))
            return false; // the favorite stays where it was, with its new address
        cat.fileName[row] = newName;
        cat.filePath[row] = newFolder;
        t.rowFolder[row] = relativeFolder(cat.favPath, newFolder);
        showRow(state, model, row);
        if (!favorites::deleteOneFile(oldPath, failure))
            return false; // the favorite now exists at both places
    }
    return true;
}

} // namespace table
