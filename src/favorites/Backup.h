#pragma once

#include <QString>

#include "favorites/FileOps.h"
#include "favorites/Progress.h"
#include "platform/Failure.h"

// The file work of 备份收藏夹: the Favorites folder copied whole into the backup folder, all or nothing.

namespace favorites
{

/// Replaces the backup folder with a fresh copy of favPath. The copy is built beside the old backup, in the working
/// folder backupFolder + ".new", and takes its place only once it is complete, the previous one set aside in
/// backupFolder + ".old" until then: a failed backup leaves the previous one whole. A backup stopped half-way is
/// put right first. Named pipes, sockets and devices (and, on Windows, links) cannot be backed up: they are left
/// out and listed in *leftOut. Refuses when favPath cannot be worked on, something other than a folder stands where
/// the backup goes, a folder of a working folder's name is not the program's own, or any of them lies inside the
/// Favorites folder or the other way round. Each entry copied is a step of progress; stopped, the backup is as it was.
bool backupFavorites(const QString& favPath, const QString& backupFolder, platform::Failure* failure = nullptr,
                     LeftOut* leftOut = nullptr, Progress* progress = nullptr);

} // namespace favorites
