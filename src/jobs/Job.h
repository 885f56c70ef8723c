#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "favorites/Progress.h"
#include "jobs/AppState.h"
#include "jobs/CommandRules.h"
#include "jobs/LoadSequence.h"
#include "platform/Failure.h"

// What the jobs the user starts from the toolbar share. A job's file holds its file work, which runs in the worker
// from copies of what it needs and returns a typed result, and its end, the continuation that runs here once the work
// is over: the questions to the user between its steps, the reload of the table, and the result handed to the command
// rules, which tell the user (CommandRules, worded by ui::Commands).

namespace jobs
{

/// What every job's result holds: how it failed, when it did.
struct JobResult
{
    platform::Failure failure;

    bool ok() const { return !failure.failed(); }
};

/// What a job works with: the program's state, the load sequence that runs its file work in the worker and loads the
/// table again, and the user's answers. All outlive the job.
struct JobContext
{
    AppState& state;
    LoadSequence& load;
    CommandAnswers& answers;
};

/// Runs work (Result work(favorites::Progress&)) in the worker behind the busy notice that kind names, then
/// end(const Result&) on this thread. A work that ends in an exception ends with a Result that holds only that failure
/// (WorkFailure::Unexpected).
template <class Result, class Work, class End> void runInWorker(LoadSequence& load, LongWork kind, Work work, End end)
{
    // Written by the worker, read by the end once the work is over.
    auto result = std::make_shared<Result>();
    load.runBehindBusyNotice(
        kind, [work = std::move(work), result](favorites::Progress& progress) { *result = work(progress); },
        [result, end = std::move(end)](const platform::Failure& unexpected) {
            if (unexpected.failed()) {
                *result = Result();
                result->failure = unexpected;
            }
            end(*result);
        });
}

/// Loads the table again when the job has changed what is on disk, the favorites still there keeping the verdicts of
/// the check, which is not saved yet; then `then`.
void reloadIfChanged(LoadSequence& load, bool changed, std::function<void()> then);

} // namespace jobs
