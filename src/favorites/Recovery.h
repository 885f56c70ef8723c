#pragma once

#include <QString>

#include "platform/Failure.h"

// Putting right what a backup or a restore stopped half-way (the program killed, the machine off) left: at start-up,
// and before the next backup or restore.

namespace favorites
{

/// What was found of a restore that was stopped half-way.
enum class InterruptedRestore
{
    None,     // nothing: no restore was under way
    Undone,   // stopped before the new favorites were moved in (or the old ones could not go to the Recycle Bin, which
              // the user had not agreed to): the Favorites folder is as it was before
    Finished, // stopped once the old favorites were all set aside: the restore has been completed
};

/// Finishes or undoes a restore of favPath that was stopped half-way, as far as it had come, and says which in
/// *found. Returns false with the reason when it cannot; everything then stays where it was found (the old
/// favorites in the working folder the failure names), and nothing is deleted. A restore still at work (its working
/// folders held by the running program that makes them) is left alone: false with WorkingFolderInUse.
bool recoverInterruptedRestore(const QString& favPath, InterruptedRestore* found = nullptr,
                               platform::Failure* failure = nullptr);

/// Puts right what a backup stopped half-way left beside backupFolder: the newest complete backup is put in place
/// when there is none, and what is left of the working folders is removed. A backup still at work is left alone:
/// false with WorkingFolderInUse.
bool recoverInterruptedBackup(const QString& backupFolder, platform::Failure* failure = nullptr);

} // namespace favorites
