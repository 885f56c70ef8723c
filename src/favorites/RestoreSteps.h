#pragma once

#include <functional>

#include <QString>

#include "favorites/Maintenance.h"
#include "favorites/Restore.h"
#include "favorites/WorkingFolder.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"

// The steps of a restore, which restoreFavorites takes one after the other and recoverInterruptedRestore takes again
// from where a stopped restore left off. They work on the restore's two working folders inside the Favorites folder:
// `fresh`, the copy of the backup, and `old`, where the old favorites are set aside; the phase in old's marker records
// how far the restore has come.

namespace favorites
{

/// Moves one entry by a rename; false with MoveFailed.
bool moveEntry(const platform::NativePath& from, const platform::NativePath& to, platform::Failure* failure);

/// Moves every entry of `from` (its marker excepted) into `to`, or only those `which` says.
bool moveAll(const platform::NativePath& from, const platform::NativePath& to, platform::Failure* failure,
             const std::function<bool(const platform::FolderEntry&)>& which = {});

/// What a restore moves out of the Favorites folder, and back in when it is undone: all but its own working folders
/// and what is hidden or system.
bool movableByRestore(const platform::FolderEntry& entry);

/// The failure of a restore that can be neither completed nor undone, naming where the old favorites are: their
/// working folder while it is there, else the Favorites folder, whose working folder was taken away.
bool failLeavingOldFavorites(platform::Failure* failure, MaintenanceFailure kind, const QString& favPath,
                             const WorkingFolder& old, const platform::SystemError& why);

/// Puts the old favorites, all set aside in `old`, back where they were, and clears away both working folders.
bool undoRestore(const platform::NativePath& favPath, WorkingFolder& old, WorkingFolder& fresh,
                 platform::Failure* failure);

/// From a complete restore: moves the new favorites back out into their working folder and the old ones back in.
bool undoCompleteRestore(const platform::NativePath& favPath, WorkingFolder& old, WorkingFolder& fresh,
                         platform::Failure* failure);

/// From the moment the old favorites are all set aside: moves the new ones in; the restore is then complete. What the
/// backup holds hidden or system at its top is not brought in (the Favorites folder keeps its own), nor what would meet
/// an entry the restore keeps.
bool moveNewIn(const platform::NativePath& favPath, WorkingFolder& old, WorkingFolder& fresh,
               platform::Failure* failure);

/// The old favorites, all set aside in `old` once the restore is complete, go to the Recycle Bin as one folder named
/// as `old` records, made in the Favorites folder so that the Recycle Bin puts it back there. When they cannot, they
/// are put back into `old`, which is held again, and *replaced says why; the restore then waits for settleRestore().
bool recycleReplaced(const platform::NativePath& favPath, WorkingFolder& old, WorkingFolder& fresh,
                     ReplacedFavorites* replaced, platform::Failure* failure);

/// The old favorites that the user agreed to lose are deleted, and the working folders go.
bool deleteReplaced(WorkingFolder& old, WorkingFolder& fresh, platform::Failure* failure);

/// A restore stopped just after giving the old favorites' folder its name leaves that folder, still hidden and marked,
/// at the top of the Favorites folder, where nothing else looks for it: it becomes an ordinary folder there, shown, as
/// a restore stopped a moment later leaves it. True when there was one.
bool unmarkNamedReplacedFavorites(const platform::NativePath& fav);

} // namespace favorites
