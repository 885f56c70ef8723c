#include "jobs/FavoriteEdit.h"

#include <QDir>
#include <QFileInfo>

#include "favorites/FileOps.h"
#include "favorites/ShortcutFile.h"
#include "platform/Paths.h"
#include "table/Loader.h"

namespace jobs
{

using platform::fail;
using platform::Failure;
using platform::FileFailure;

namespace
{

const QLatin1String kShortcutExtension(".url");

// The folder as the program writes folders: "/Sub/" and "/Sub/Deeper/.." both become "/Sub", so that the
// row's folder matches what the next enumeration finds (and its saved history is kept).
QString normalizedFolder(const QString& folder)
{
    if (folder.isEmpty() || !folder.startsWith(platform::separator()))
        return folder;
    const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(folder));
    return clean == QLatin1String("/") ? QString() : platform::nativePath(clean);
}

// Where the edit takes the favorite of a valid row.
struct EditPlan
{
    QString oldPath;
    QString newFolder;
    QString newName;
    QString newPath;
    bool moves = false;
};

EditPlan planOf(const AppState& state, int row, const FavoriteEdit& edit)
{
    EditPlan plan;
    const QString& oldName = state.table.fileName(row);
    const QString& oldFolder = state.table.filePath(row);
    plan.oldPath = platform::joinPath(oldFolder, oldName);
    // The extension as the file has it: "NEWS.URL" edited without a change keeps its name, and a file system
    // that ignores case is not asked to copy it onto itself.
    plan.newName = edit.name + oldName.right(kShortcutExtension.size());
    plan.newFolder = state.catalogue.favPath + normalizedFolder(edit.folder);
    plan.newPath = platform::joinPath(plan.newFolder, plan.newName);
    plan.moves = plan.newFolder != oldFolder || plan.newName != oldName;
    return plan;
}

// A name any file system the favorite may be moved to holds as it is, and that the results file can store: none of
// the characters Windows refuses in a file name (a path separator among them), no control character (line breaks
// included), and not "." or "..".
bool isAllowedFileName(const QString& name)
{
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (QStringView(u"\\/:*?\"<>|").contains(c) || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

// Why the favorite cannot go to its new place (no failure when it can).
Failure moveProblem(const AppState& state, const FavoriteEdit& edit, const EditPlan& plan)
{
    Failure problem;
    if (edit.name.isEmpty()) {
        fail(&problem, EditFailure::NameEmpty);
        return problem;
    }
    if (!isAllowedFileName(edit.name)) {
        fail(&problem, EditFailure::NameNotAllowed, edit.name);
        return problem;
    }
    if (!edit.folder.isEmpty() && !edit.folder.startsWith(platform::separator())) {
        fail(&problem, EditFailure::FolderNeedsSeparator, edit.folder);
        return problem;
    }
    const QFileInfo folderInfo(plan.newFolder);
    if (!folderInfo.isDir()) {
        fail(&problem, EditFailure::TargetFolderMissing, plan.newFolder);
        return problem;
    }
    if (!platform::isInside(plan.newFolder, state.catalogue.favPath)) {
        fail(&problem, EditFailure::TargetFolderOutside, plan.newFolder);
        return problem;
    }
    // A name the folder listing leaves out would drop the favorite from the table.
    if (platform::isHiddenOrSystem(platform::toNativePath(plan.newPath))) {
        fail(&problem, EditFailure::NameWouldBeHidden, plan.newName);
        return problem;
    }
    // Never over an existing favorite; on a file system that ignores case a change of case alone meets the
    // file itself here.
    const QFileInfo target(plan.newPath);
    if (target.exists() || target.isSymLink())
        fail(&problem, FileFailure::AlreadyExists, plan.newPath);
    return problem;
}

} // namespace

Failure favoriteEditProblem(const AppState& state, int row, const FavoriteEdit& edit)
{
    Failure problem;
    if (!state.table.hasRow(row)) {
        fail(&problem, EditFailure::NoSuchRow, QString::number(row));
        return problem;
    }
    const EditPlan plan = planOf(state, row, edit);
    // Every file of the tree is a row, but only a shortcut file has an address to write.
    if (!state.table.fileName(row).endsWith(kShortcutExtension, Qt::CaseInsensitive)) {
        fail(&problem, EditFailure::NotAShortcut, plan.oldPath);
        return problem;
    }
    // Deleted by hand since the load: there is nothing to change, and a new file is not to be made.
    if (platform::entryType(platform::toNativePath(plan.oldPath)) == platform::EntryType::Missing) {
        fail(&problem, FileFailure::FileMissing, plan.oldPath);
        return problem;
    }
    if (plan.moves) {
        problem = moveProblem(state, edit, plan);
        if (problem.failed())
            return problem;
    }
    favorites::canSetUrl(plan.oldPath, edit.address, &problem);
    return problem;
}

bool applyFavoriteEdit(AppState& state, int row, const FavoriteEdit& edit, Failure* failure)
{
    const Failure problem = favoriteEditProblem(state, row, edit);
    if (problem.failed()) {
        if (failure)
            *failure = problem;
        return false;
    }
    const EditPlan plan = planOf(state, row, edit);

    if (!plan.moves) {
        // Written whole through a temporary file: on failure the file is as it was.
        if (!favorites::SetUrl(plan.oldPath, edit.address, failure))
            return false;
    } else {
        // The old file is never written: the copy takes the address, and only a complete copy lets the old
        // file go. Whatever step fails, the copy goes again and the favorite stays as it was.
        if (!favorites::CopyOne(plan.oldPath, plan.newPath, failure))
            return false;
        if (!favorites::SetUrl(plan.newPath, edit.address, failure) ||
            !favorites::deleteOneFile(plan.oldPath, failure)) {
            favorites::deleteOneFile(plan.newPath);
            return false;
        }
    }
    state.table.setFavorite(row, plan.newName, plan.newFolder,
                            table::relativeFolder(state.catalogue.favPath, plan.newFolder), edit.address);
    return true;
}

} // namespace jobs
