#pragma once

#include <QString>

#include "platform/Failure.h"
#include "table/AppState.h"
#include "table/LinkTableModel.h"

namespace table {

/// What the edit dialog asks for one favorite: its folder relative to the Favorites folder ("" for the
/// Favorites folder itself, else beginning with the separator), its name without ".url", its address.
struct FavoriteEdit
{
    QString folder;
    QString name;
    QString address;
};

/// Why the edit cannot be applied as typed (no failure when it can): a name that is not a plain file name, or a
/// folder that is not an existing folder inside the Favorites folder. Nothing is touched to find out.
platform::Failure favoriteEditProblem(const AppState& state, const FavoriteEdit& edit);

/// Applies the edit to row `row`: writes the address into the shortcut file where it is, then, when the
/// folder or name changed, copies the file to its new place (never over an existing file) and deletes the
/// old one. The row's data and grid cells follow what is on disk: on failure they keep whatever did
/// happen, and the function returns false with the reason in *failure.
bool applyFavoriteEdit(AppState& state, LinkTableModel& model, int row, const FavoriteEdit& edit,
                       platform::Failure* failure = nullptr);

} // namespace table
