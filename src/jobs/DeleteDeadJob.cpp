#include "jobs/DeleteDeadJob.h"

#include "table/Rules.h"

namespace jobs
{

using End = std::function<void(const DeleteDeadResult&)>;

namespace
{

void endDeleteDead(const JobContext& job, const DeleteDeadResult& result, End end)
{
    // The table shows what is on disk: a delete that stopped half-way has changed it too, and one that ended
    // unexpectedly may have.
    const bool changed = result.ok() || result.deleted > 0 || result.failure.kind == WorkFailure::Unexpected;
    reloadIfChanged(job.load, changed, [end = std::move(end), result] { end(result); });
}

// Where there is no Recycle Bin, a favorite is deleted for good only when the user says so; else it stays.
void deleteNotRecycled(const JobContext& job, const QString& favPath, const DeleteDeadResult& recycled, End end)
{
    if (!recycled.ok() || recycled.notRecycled.isEmpty() ||
        !job.answers.confirmDeleteForGood(Command::DeleteDead, recycled.notRecycled, platform::SystemError())) {
        endDeleteDead(job, recycled, std::move(end));
        return;
    }
    runInWorker<DeleteDeadResult>(
        job.load, LongWork::DeleteDead,
        [favPath, files = recycled.notRecycled](favorites::Progress& progress) {
            return deleteFiles(favPath, files, favorites::Removal::ForGood, progress);
        },
        [job, recycled, end = std::move(end)](const DeleteDeadResult& deletedForGood) {
            DeleteDeadResult result = recycled;
            result.failure = deletedForGood.failure;
            result.deleted += deletedForGood.deleted;
            endDeleteDead(job, result, end);
        });
}

} // namespace

DeleteDeadResult deleteFiles(const QString& favPath, const QStringList& files, favorites::Removal how,
                             favorites::Progress& progress)
{
    DeleteDeadResult result;
    favorites::deleteFavorites(favPath, files, how, &result.deleted, &result.failure, &result.notRecycled, &progress);
    return result;
}

void startDeleteDead(const JobContext& job, End end)
{
    const QStringList dead = table::deadFavorites(job.state.table);
    const QString favPath = job.state.catalogue.favPath;
    runInWorker<DeleteDeadResult>(
        job.load, LongWork::DeleteDead,
        [favPath, dead](favorites::Progress& progress) {
            return deleteFiles(favPath, dead, favorites::Removal::ToRecycleBin, progress);
        },
        [job, favPath, end = std::move(end)](const DeleteDeadResult& recycled) {
            deleteNotRecycled(job, favPath, recycled, end);
        });
}

} // namespace jobs
