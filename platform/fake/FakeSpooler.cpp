#include "FakeSpooler.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace ostrel {

struct FakeSpooler::State {
    struct Printer {
        std::vector<SpoolerJob> queue;
        std::vector<EndedJob> history;
        std::vector<std::shared_ptr<std::deque<ChangeBlock>>> listeners;
        int snapshots = 0;
    };

    std::mutex mutex;
    std::condition_variable_any changed;
    std::map<std::string, Printer, std::less<>> printers;
    std::optional<std::uint32_t> failOpen, failWatch, failFetch, failSnapshot;
    SpoolerResult<std::vector<std::string>> names{std::vector<std::string>{}};
    std::optional<std::string> defaultPrinter;
    std::int64_t time = 0;

    void Broadcast(Printer& printer, const ChangeBlock& block)
    {
        for (auto& listener : printer.listeners)
            listener->push_back(block);
        changed.notify_all();
    }
};

namespace {

using State = FakeSpooler::State;

std::optional<std::uint32_t> Take(std::optional<std::uint32_t>& failure)
{
    return std::exchange(failure, std::nullopt);
}

class FakeChangeNotification final : public ChangeNotification {
public:
    FakeChangeNotification(std::shared_ptr<State> state, std::shared_ptr<std::deque<ChangeBlock>> blocks)
        : state_(std::move(state)), blocks_(std::move(blocks))
    {
    }

    WaitResult Wait(std::optional<std::chrono::milliseconds> timeout, std::stop_token stop) override
    {
        std::unique_lock lock(state_->mutex);
        const auto ready = [&] { return !blocks_->empty() || state_->failFetch.has_value(); };
        const bool signalled =
            timeout ? state_->changed.wait_for(lock, stop, *timeout, ready) : state_->changed.wait(lock, stop, ready);
        if (signalled)
            return WaitResult::Signalled;
        return stop.stop_requested() ? WaitResult::Stopped : WaitResult::TimedOut;
    }

    SpoolerResult<ChangeBlock> Next() override
    {
        std::lock_guard lock(state_->mutex);
        if (auto code = Take(state_->failFetch))
            return SpoolerResult<ChangeBlock>::Failure(*code);
        if (blocks_->empty())
            return ChangeBlock{};
        ChangeBlock block = std::move(blocks_->front());
        blocks_->pop_front();
        return block;
    }

private:
    std::shared_ptr<State> state_;
    std::shared_ptr<std::deque<ChangeBlock>> blocks_;
};

class FakePrinter final : public SpoolerPrinter {
public:
    FakePrinter(std::shared_ptr<State> state, std::string name) : state_(std::move(state)), name_(std::move(name)) {}

    SpoolerResult<std::unique_ptr<ChangeNotification>> WatchChanges(std::uint32_t) override
    {
        std::lock_guard lock(state_->mutex);
        if (auto code = Take(state_->failWatch))
            return SpoolerResult<std::unique_ptr<ChangeNotification>>::Failure(*code);
        auto blocks = std::make_shared<std::deque<ChangeBlock>>();
        state_->printers.at(name_).listeners.push_back(blocks);
        state_->changed.notify_all();
        return std::unique_ptr<ChangeNotification>(std::make_unique<FakeChangeNotification>(state_, blocks));
    }

    SpoolerResult<std::uint32_t> JobCount() override
    {
        std::lock_guard lock(state_->mutex);
        if (auto code = Take(state_->failSnapshot))
            return SpoolerResult<std::uint32_t>::Failure(*code);
        auto& printer = state_->printers.at(name_);
        ++printer.snapshots;  // a real spooler lists the queue to count it
        return static_cast<std::uint32_t>(printer.queue.size());
    }

    SpoolerResult<std::vector<SpoolerJob>> Jobs(std::uint32_t limit) override
    {
        std::lock_guard lock(state_->mutex);
        if (auto code = Take(state_->failSnapshot))
            return SpoolerResult<std::vector<SpoolerJob>>::Failure(*code);
        auto& printer = state_->printers.at(name_);
        ++printer.snapshots;
        const auto& queue = printer.queue;
        return std::vector<SpoolerJob>(queue.begin(), queue.begin() + std::min<std::size_t>(limit, queue.size()));
    }

    SpoolerResult<std::vector<EndedJob>> EndedJobs() override
    {
        std::lock_guard lock(state_->mutex);
        if (auto code = Take(state_->failSnapshot))
            return SpoolerResult<std::vector<EndedJob>>::Failure(*code);
        return state_->printers.at(name_).history;
    }

private:
    std::shared_ptr<State> state_;
    std::string name_;
};

}  // namespace

std::vector<NotifyEntry> JobEntries(const SpoolerJob& job)
{
    return {
        {kJobNotifyType, notify_field::kStatus, job.id, job.status},
        {kJobNotifyType, notify_field::kStatusText, job.id, job.statusText},
        {kJobNotifyType, notify_field::kDocument, job.id, job.document},
        {kJobNotifyType, notify_field::kUserName, job.id, job.user},
        {kJobNotifyType, notify_field::kTotalPages, job.id, job.totalPages},
        {kJobNotifyType, notify_field::kPagesPrinted, job.id, job.pagesPrinted},
        {kJobNotifyType, notify_field::kSubmitted, job.id, job.submitted},
    };
}

FakeSpooler::FakeSpooler() : state_(std::make_shared<State>()) {}
FakeSpooler::~FakeSpooler() = default;

void FakeSpooler::AddPrinter(const std::string& name)
{
    std::lock_guard lock(state_->mutex);
    state_->printers[name];
}

void FakeSpooler::Submit(const std::string& printer, const SpoolerJob& job)
{
    std::lock_guard lock(state_->mutex);
    auto& queue = state_->printers.at(printer);
    queue.queue.push_back(job);
    state_->Broadcast(queue, {printer_change::kAddJob, JobEntries(job)});
}

void FakeSpooler::Update(const std::string& printer, const SpoolerJob& job)
{
    std::lock_guard lock(state_->mutex);
    auto& queue = state_->printers.at(printer);
    for (auto& queued : queue.queue)
        if (queued.id == job.id)
            queued = job;
    state_->Broadcast(queue, {printer_change::kSetJob, JobEntries(job)});
}

void FakeSpooler::Finish(const std::string& printer, std::uint32_t jobId)
{
    std::lock_guard lock(state_->mutex);
    auto& queue = state_->printers.at(printer);
    const auto job = std::find_if(queue.queue.begin(), queue.queue.end(), [&](const auto& j) { return j.id == jobId; });
    if (job == queue.queue.end())
        return;
    state_->Broadcast(queue, {printer_change::kSetJob, JobEntries(*job)});
    queue.history.push_back({*job, state_->time});
    queue.queue.erase(job);
    state_->Broadcast(queue, {printer_change::kDeleteJob, {}});
}

void FakeSpooler::DropFromQueue(const std::string& printer, std::uint32_t jobId)
{
    std::lock_guard lock(state_->mutex);
    auto& queue = state_->printers.at(printer);
    for (const SpoolerJob& job : queue.queue)
        if (job.id == jobId)
            queue.history.push_back({job, state_->time});
    std::erase_if(queue.queue, [&](const auto& j) { return j.id == jobId; });
}

void FakeSpooler::SetTime(std::int64_t secondsSinceEpoch)
{
    std::lock_guard lock(state_->mutex);
    state_->time = secondsSinceEpoch;
}

void FakeSpooler::Deliver(const std::string& printer, ChangeBlock block)
{
    std::lock_guard lock(state_->mutex);
    state_->Broadcast(state_->printers.at(printer), block);
}

void FakeSpooler::FailNextOpen(std::uint32_t code)
{
    std::lock_guard lock(state_->mutex);
    state_->failOpen = code;
}

void FakeSpooler::FailNextWatch(std::uint32_t code)
{
    std::lock_guard lock(state_->mutex);
    state_->failWatch = code;
}

void FakeSpooler::FailNextFetch(std::uint32_t code)
{
    std::lock_guard lock(state_->mutex);
    state_->failFetch = code;
    state_->changed.notify_all();
}

void FakeSpooler::FailNextSnapshot(std::uint32_t code)
{
    std::lock_guard lock(state_->mutex);
    state_->failSnapshot = code;
}

bool FakeSpooler::WaitForWatchers(const std::string& printer, std::size_t count)
{
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, std::chrono::seconds(10), [&] {
        const auto found = state_->printers.find(printer);
        return found != state_->printers.end() && found->second.listeners.size() >= count;
    });
}

int FakeSpooler::Snapshots(const std::string& printer) const
{
    std::lock_guard lock(state_->mutex);
    return state_->printers.at(printer).snapshots;
}

void FakeSpooler::SetPrinterNames(SpoolerResult<std::vector<std::string>> names)
{
    std::lock_guard lock(state_->mutex);
    state_->names = std::move(names);
}

void FakeSpooler::SetDefaultPrinter(std::optional<std::string> name)
{
    std::lock_guard lock(state_->mutex);
    state_->defaultPrinter = std::move(name);
}

SpoolerResult<std::unique_ptr<SpoolerPrinter>> FakeSpooler::OpenPrinter(std::string_view name)
{
    std::lock_guard lock(state_->mutex);
    if (auto code = Take(state_->failOpen))
        return SpoolerResult<std::unique_ptr<SpoolerPrinter>>::Failure(*code);
    if (state_->printers.find(name) == state_->printers.end())
        return SpoolerResult<std::unique_ptr<SpoolerPrinter>>::Failure(spooler_error::kInvalidPrinterName);
    return std::unique_ptr<SpoolerPrinter>(std::make_unique<FakePrinter>(state_, std::string(name)));
}

SpoolerResult<std::vector<std::string>> FakeSpooler::PrinterNames()
{
    std::lock_guard lock(state_->mutex);
    return state_->names;
}

std::optional<std::string> FakeSpooler::DefaultPrinter()
{
    std::lock_guard lock(state_->mutex);
    return state_->defaultPrinter;
}

}  // namespace ostrel
