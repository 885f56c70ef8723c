#include "jobs/Job.h"

namespace jobs
{

void reloadIfChanged(LoadSequence& load, bool changed, std::function<void()> then)
{
    if (!changed) {
        then();
        return;
    }
    load.reloadFromDisk(table::CurrentVerdicts::Kept, std::move(then));
}

} // namespace jobs
