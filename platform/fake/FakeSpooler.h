#pragma once

#include "Spooler.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ostrel {

// An in-memory spooler for unit tests of the logic built on Spooler.h. The
// test plays the spooler's part: jobs arrive, change and leave, and every
// change reaches the printer's change notifications as the blocks a real
// spooler would deliver. Thread-safe: a test thread may drive it while a
// monitor thread waits on it.
class FakeSpooler final : public Spooler {
public:
    FakeSpooler();
    ~FakeSpooler() override;

    void AddPrinter(const std::string& name);

    // A job enters the queue; its fields arrive in an add-job block.
    void Submit(const std::string& printer, const SpoolerJob& job);
    // A job's fields change in the queue; a set-job block carries them.
    void Update(const std::string& printer, const SpoolerJob& job);
    // A job leaves the queue: a set-job block with its final fields, then a
    // delete-job block.
    void Finish(const std::string& printer, std::uint32_t jobId);
    // Jobs leave the queue without a word; the next block tells nothing of them.
    void DropFromQueue(const std::string& printer, std::uint32_t jobId);
    // The spooler's clock, in seconds since the epoch: a job that leaves the
    // queue enters its history with this time.
    void SetTime(std::int64_t secondsSinceEpoch);
    // Delivers a block as it is.
    void Deliver(const std::string& printer, ChangeBlock block);

    // The next call of the kind fails with `code`.
    void FailNextOpen(std::uint32_t code);
    void FailNextWatch(std::uint32_t code);
    void FailNextFetch(std::uint32_t code);
    void FailNextSnapshot(std::uint32_t code);

    // Blocks until the printer has `count` change notifications (at most
    // 10 s of real time); false when it did not come to that.
    bool WaitForWatchers(const std::string& printer, std::size_t count);

    // How many queue listings (JobCount or Jobs) the printer's watchers
    // have taken.
    int Snapshots(const std::string& printer) const;
    // Printer list and default printer as the console sees them.
    void SetPrinterNames(SpoolerResult<std::vector<std::string>> names);
    void SetDefaultPrinter(std::optional<std::string> name);

    SpoolerResult<std::unique_ptr<SpoolerPrinter>> OpenPrinter(std::string_view name) override;
    SpoolerResult<std::vector<std::string>> PrinterNames() override;
    std::optional<std::string> DefaultPrinter() override;
    std::string Address() const override { return "fake"; }

    struct State;

private:
    std::shared_ptr<State> state_;
};

// The entries of every field of `job`, in the order a spooler sends them.
std::vector<NotifyEntry> JobEntries(const SpoolerJob& job);

}  // namespace ostrel
