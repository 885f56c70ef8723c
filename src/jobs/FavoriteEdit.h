#pragma once

#include <QString>

#include "jobs/AppState.h"
#include "platform/Failure.h"

namespace jobs
{

/// Why the edit of one favorite is refused.
enum class EditFailure
{
    NoSuchRow,            // path: the row number
    NotAShortcut,         // path: the file, whose name does not end in ".url"
    NameEmpty,            // no path
    NameNotAllowed,       // path: the name as typed (a character no file name may hold, or "." or "..")
    NameWouldBeHidden,    // path: the file name it would give
    FolderNeedsSeparator, // path: the folder as typed
    TargetFolderMissing,  // path: the folder
    TargetFolderOutside,  // path: the folder
};

/// What the edit dialog asks for one favorite: its folder relative to the Favorites folder ("" for the
/// Favorites folder itself, else beginning with the separator), its name without ".url", its address.
struct FavoriteEdit
{
    QString folder;
    QString name;
    QString address;
};

/// Why the edit of row `row` cannot be applied (no failure when it can), decided without writing anything:
/// a row without a favorite; a file that is not a shortcut file (its name does not end in ".url", whatever the
/// case); when the folder or the name changes, an empty name, a name that is not a plain file name or would
/// make the favorite a hidden file, a folder that is not an existing folder inside the Favorites folder, or a
/// file already at the new place; an address the shortcut file cannot take (see favorites::canSetUrl).
platform::Failure favoriteEditProblem(const AppState& state, int row, const FavoriteEdit& edit);

/// Applies the edit to row `row`, all or nothing: every refusal of favoriteEditProblem comes first. Only the
/// address changing: it is written into the shortcut file in place. The folder or name changing: the file is
/// copied to its new place (never over an existing file), the address written into the copy, and the old file
/// deleted; when a step fails, the copy is removed again. The new file keeps the old one's extension as it was
/// written (".URL" stays ".URL"). The row changes only when the edit succeeded; on failure the function returns
/// false with the reason in *failure.
bool applyFavoriteEdit(AppState& state, int row, const FavoriteEdit& edit, platform::Failure* failure = nullptr);

} // namespace jobs

template <> struct platform::IsFailureKind<jobs::EditFailure> : std::true_type
{
};
