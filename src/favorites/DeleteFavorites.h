#pragma once

#include <QString>
#include <QStringList>

#include "favorites/Progress.h"
#include "platform/Failure.h"

// The file work of 删除收藏夹无效地址: the dead favorites' files removed from the Favorites folder.

namespace favorites
{

/// How a command removes favorites.
enum class Removal
{
    ToRecycleBin, // into the system's Recycle Bin, where the user can bring them back from
    ForGood,      // deleted: only once the user has agreed, where there is no Recycle Bin
};

/// Removes each of the given shortcut files (full paths) that lies inside favPath, in order, stopping at the first
/// that cannot be removed. A file already gone counts as removed. deleted receives how many are gone. Into the Recycle
/// Bin, each file on its own: one for which the system has none stays where it is and is listed in *notRecycled.
/// Returns false with the reason in *failure; nothing is done when favPath cannot be worked on. Each file is a step of
/// progress.
bool deleteFavorites(const QString& favPath, const QStringList& files, Removal how, int* deleted = nullptr,
                     platform::Failure* failure = nullptr, QStringList* notRecycled = nullptr,
                     Progress* progress = nullptr);

} // namespace favorites
