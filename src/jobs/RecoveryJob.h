#pragma once

#include <QString>

#include "favorites/Recovery.h"
#include "jobs/Job.h"

// The recovery at start-up of a backup or a restore that was stopped half-way (the program killed, the machine off).

namespace jobs
{

/// What the recovery at start-up found and did.
struct RecoveryResult : JobResult
{
    favorites::InterruptedRestore found = favorites::InterruptedRestore::None; // what became of a stopped restore
};

/// Start-up's work before the Favorites folder is listed, in the worker as part of the first load
/// (LoadSequence::startUp): what a stopped backup left beside the backup folder of programFolder is put right,
/// and a restore of favPath stopped half-way, which left the favorites partly in working folders, is finished or
/// undone, unless another running copy is at work on them. What it found is told once the table stands
/// (LoadSequence::interruptedRestoreHandled).
RecoveryResult recoverStoppedWork(const QString& favPath, const QString& programFolder);

} // namespace jobs
