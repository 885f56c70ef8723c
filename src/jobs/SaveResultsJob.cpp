#include "jobs/SaveResultsJob.h"

#include "table/ResultsFile.h"
#include "table/Rules.h"

namespace jobs
{

void startSaveResults(const JobContext& job, std::function<void(const SaveResultsResult&)> end)
{
    SaveResultsResult result;
    if (job.load.loadFailure().failed()) {
        result.failure = job.load.loadFailure();
        end(result);
        return;
    }
    if (table::looksLikeDeadNetwork(job.state.table) && !job.answers.confirmSaveWithoutAnswers()) {
        result.declined = true;
        end(result);
        return;
    }
    if (!table::saveResults(table::resultsFilePath(job.state.programFolder), job.state.table, &result.failure,
                            &result.unstoredRows)) {
        end(result);
        return;
    }
    job.load.reloadFromDisk(table::CurrentVerdicts::Cleared, [end = std::move(end), result] { end(result); });
}

} // namespace jobs
