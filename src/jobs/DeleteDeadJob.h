#pragma once

#include <functional>

#include <QString>
#include <QStringList>

#include "favorites/DeleteFavorites.h"
#include "jobs/Job.h"

// 删除收藏夹无效地址: the favorites whose four saved checks all failed go to the Recycle Bin.

namespace jobs
{

/// What 删除收藏夹无效地址 did.
struct DeleteDeadResult : JobResult
{
    int deleted = 0;         // favorites gone
    QStringList notRecycled; // favorites for which the system has no Recycle Bin
};

/// The file work, in the worker: the files removed from favPath as favorites::deleteFavorites does.
DeleteDeadResult deleteFiles(const QString& favPath, const QStringList& files, favorites::Removal how,
                             favorites::Progress& progress);

/// Deletes the dead favorites (table::deadFavorites) in the worker behind the busy notice, each into the Recycle Bin.
/// Those for which the system has none are deleted for good only when the user agrees, in a second piece of work;
/// else they stay. Once a favorite has gone (or the delete went through with nothing to delete) the table is loaded
/// again, the favorites left keeping the verdicts of the check; then end.
void startDeleteDead(const JobContext& job, std::function<void(const DeleteDeadResult&)> end);

} // namespace jobs
