#include "JobList.h"

#include "EPrinter.h"

#include <limits>
#include <new>
#include <unordered_set>

namespace ostrel {
namespace {

// A job's texts and the list's room are the allocations a monitor makes
// per job; each failure has its own message.
PrintJob Copy(const SpoolerJob& job)
{
    try {
        return PrintJob{job};
    } catch (const std::bad_alloc&) {
        throw EPrinter(eprinter::kNotEnoughMemoryCode, eprinter::kCouldntCreateNewJob);
    }
}

}  // namespace

std::optional<std::uint32_t> JobList::Find(std::uint32_t jobId) const
{
    for (std::uint32_t i = 0; i < jobs_.size(); ++i)
        if (jobs_[i].id == jobId)
            return i;
    return std::nullopt;
}

void JobList::Add(const SpoolerJob& job)
{
    PrintJob copy = Copy(job);
    try {
        jobs_.push_back(std::move(copy));
    } catch (const std::bad_alloc&) {
        throw EPrinter(eprinter::kNotEnoughMemoryCode, eprinter::kCouldntAllocateQueue);
    }
}

void JobList::AddBlank(std::uint32_t jobId)
{
    SpoolerJob blank;
    blank.id = jobId;
    Add(blank);
}

const PrintJob& JobList::At(std::uint32_t index) const
{
    if (index >= jobs_.size())
        throw EPrinter(eprinter::kIndexOutOfRangeCode, eprinter::kIndexOutOfRange);
    return jobs_[index];
}

void JobList::Remove(std::uint32_t jobId)
{
    const auto index = Find(jobId);
    if (!index)
        return;
    if (*index + 1 != jobs_.size())
        jobs_[*index] = std::move(jobs_.back());
    jobs_.pop_back();
}

void JobList::Clear()
{
    jobs_.clear();
}

void JobList::Apply(const NotifyEntry& entry)
{
    if (entry.type != kJobNotifyType)
        return;
    auto index = Find(entry.jobId);
    if (!index) {
        AddBlank(entry.jobId);
        index = Count() - 1;
    }
    PrintJob& job = jobs_[*index];
    const auto* number = std::get_if<std::uint32_t>(&entry.data);
    const auto* text = std::get_if<std::string>(&entry.data);
    const auto* time = std::get_if<SpoolerTime>(&entry.data);
    switch (entry.field) {
    case notify_field::kUserName:
        if (text)
            job.user = *text;
        break;
    case notify_field::kStatus:
        if (number)
            job.status = *number;
        break;
    case notify_field::kStatusText:
        if (text)
            job.statusText = *text;
        break;
    case notify_field::kDocument:
        if (text)
            job.document = *text;
        break;
    case notify_field::kSubmitted:
        if (time)
            job.submitted = *time;
        break;
    case notify_field::kTotalPages:
        if (number)
            job.totalPages = *number;
        break;
    case notify_field::kPagesPrinted:
        if (number)
            job.pagesPrinted = *number;
        break;
    default: break;
    }
}

std::uint32_t JobList::Snapshot(SpoolerPrinter* printer, bool keep)
{
    if (!keep)
        Clear();
    if (!printer)
        throw EPrinter(eprinter::kInvalidParameterCode, eprinter::kCouldntRefreshQueue);
    // One listing of the whole queue: a count taken first would cost a
    // second request to the spooler, and a job arriving between the two
    // would push a listed one out and have it marked finished while it
    // still waits.
    auto queue = printer->Jobs(std::numeric_limits<std::uint32_t>::max());
    if (!queue)
        throw EPrinter(queue.Error(), eprinter::kCouldntRefreshQueue);

    std::unordered_set<std::uint32_t> inQueue;
    for (const SpoolerJob& job : *queue) {
        if (!Find(job.id))
            Add(job);
        inQueue.insert(job.id);
    }
    for (PrintJob& job : jobs_)
        if (!inQueue.contains(job.id))
            job.status = PrintJob::kFinished;
    return static_cast<std::uint32_t>(queue->size());
}

}  // namespace ostrel
