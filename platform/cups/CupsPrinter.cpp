#include "CupsPrinter.h"

#include "CupsChangeNotification.h"
#include "CupsDocuments.h"
#include "CupsJobRequests.h"

#include <algorithm>
#include <map>
#include <new>

namespace ostrel::cups {

CupsPrinter::CupsPrinter(std::shared_ptr<CupsContext> context, std::string queue, std::string uri)
    : context_(std::move(context)), queue_(std::move(queue)), uri_(std::move(uri))
{
}

SpoolerResult<std::unique_ptr<ChangeNotification>> CupsPrinter::WatchChanges(std::uint32_t filter)
{
    auto changes = std::make_shared<ChangeQueue>(filter);
    if (SpoolerResult<void> watched = context_->pump.Watch(queue_, changes); !watched)
        return watched.Why();
    std::erase_if(watchers_, [](const std::weak_ptr<ChangeQueue>& watcher) { return watcher.expired(); });
    watchers_.push_back(changes);
    return std::unique_ptr<ChangeNotification>(
        std::make_unique<CupsChangeNotification>(context_, queue_, std::move(changes)));
}

SpoolerResult<std::uint32_t> CupsPrinter::JobCount()
{
    auto jobs = Queue();
    if (!jobs)
        return jobs.Why();
    return static_cast<std::uint32_t>(jobs->size());
}

SpoolerResult<std::vector<SpoolerJob>> CupsPrinter::Jobs(std::uint32_t limit)
{
    auto jobs = Queue();
    if (jobs && jobs->size() > limit)
        jobs->resize(limit);
    return jobs;
}

SpoolerResult<std::vector<EndedJob>> CupsPrinter::EndedJobs()
{
    IppReply listing = GetJobs(context_->requests, uri_, "completed");
    if (!listing.Ok())
        return IppFailure(IPP_OP_GET_JOBS, listing.status);
    std::vector<EndedJob> ended;
    for (const JobAttributes& job : ReadJobs(listing.response.get()))
        if (IsTerminalState(job.state.value_or(0)))
            ended.push_back({ToSpoolerJob(job), job.completedAt.value_or(0)});
    std::stable_sort(ended.begin(), ended.end(),
                     [](const EndedJob& a, const EndedJob& b) { return a.endedAt < b.endedAt; });
    return ended;
}

std::optional<std::uint32_t> CupsPrinter::PagesFromDocument(std::uint32_t jobId)
{
    try {
        if (!raw_)
            raw_ = IsRawQueue(context_->requests, uri_);
        // A class has no driver of its own: its members' filters lay out
        // the pages, so number-up counts there.
        return ImpressionsFromDocuments(context_->requests, jobId, raw_.value_or(false), context_->documentLimits);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

SpoolerResult<std::vector<SpoolerJob>> CupsPrinter::Queue()
{
    IppReply listing = GetJobs(context_->requests, uri_, "not-completed");
    if (!listing.Ok())
        return IppFailure(IPP_OP_GET_JOBS, listing.status);
    std::map<std::uint32_t, SpoolerJob> queued;
    for (const JobAttributes& job : ReadJobs(listing.response.get()))
        queued.emplace(job.id, ToSpoolerJob(job));
    // Read after the listing: a job missing from it has ended before, so it
    // is either still with the pump or already on its way to the watcher.
    for (SpoolerJob& job : context_->pump.JobsNotYetGone(queue_))
        queued.emplace(job.id, std::move(job));
    for (const auto& watcher : watchers_)
        if (auto changes = watcher.lock())
            for (SpoolerJob& job : changes->UndeliveredFinals())
                queued.emplace(job.id, std::move(job));
    std::vector<SpoolerJob> jobs;
    jobs.reserve(queued.size());
    for (auto& [id, job] : queued)
        jobs.push_back(std::move(job));
    return jobs;
}

}  // namespace ostrel::cups
