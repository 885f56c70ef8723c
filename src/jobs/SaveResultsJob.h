#pragma once

#include <functional>

#include "jobs/Job.h"
#include "table/ResultsFile.h"

// 保存检测结果: every row's verdict folded into its history in the results file, and the table loaded again.

namespace jobs
{

/// What 保存检测结果 did.
struct SaveResultsResult : JobResult
{
    table::UnstoredRows unstoredRows; // shortcut files whose folder or name the results file cannot hold, by why
    bool declined = false; // the user chose not to save a check in which no address answered: nothing written
};

/// Saves the results of the check: asks first when the check looks like a dead network (table::looksLikeDeadNetwork),
/// and declined writes nothing and keeps the results in the table; writes the results file (here: it is one file)
/// before anything else, so that a failure leaves the table and every history as they were; then loads the table
/// again, the verdicts cleared, as they are in the histories now, and ends with what it did. Refused with the last
/// load's failure while the table could not be loaded: saving it would wipe every saved history.
void startSaveResults(const JobContext& job, std::function<void(const SaveResultsResult&)> end);

} // namespace jobs
