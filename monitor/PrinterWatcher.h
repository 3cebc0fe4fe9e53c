#pragma once

#include "JobList.h"
#include "Spooler.h"

#include <chrono>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

namespace ostrel {

// The monitor's connection to one printer: opens it, registers for its job
// changes, and folds every change into the printer's job list, taking a
// queue snapshot whenever a job has left the queue. Used by one thread;
// failures raise EPrinter.
class PrinterWatcher {
public:
    // Raises "Couldn't open printer" when the spooler does not know it.
    PrinterWatcher(Spooler& spooler, std::string printerName);

    // Registers for the job changes in `filter`. Raises "Couldn't create a
    // change notification object." on failure.
    void CreateChangeNotification(std::uint32_t filter);

    // Waits until a change holding every bit of `mask` has been folded in
    // (1), or until `timeout` passes or `stop` is requested (0). Without a
    // change notification raises "Must be created an change notification
    // object.". A deletion whose queue snapshot failed is settled by the
    // next call, so that the jobs it finished are not lost.
    int WaitForChanges(std::uint32_t mask, std::optional<std::chrono::milliseconds> timeout, std::stop_token stop);

    std::uint32_t JobCount() const { return jobs_.Count(); }
    const PrintJob& JobAt(std::uint32_t index) const { return jobs_.At(index); }
    void RemoveJob(std::uint32_t jobId) { jobs_.Remove(jobId); }
    bool Knows(std::uint32_t jobId) const { return jobs_.Find(jobId).has_value(); }
    // The jobs the spooler's history keeps for the printer. Raises
    // "Couldn't refresh queue" when it cannot be read.
    std::vector<EndedJob> EndedJobs();
    // See SpoolerPrinter::PagesFromDocument.
    std::optional<std::uint32_t> PagesFromDocument(std::uint32_t jobId)
    {
        return printer_ ? printer_->PagesFromDocument(jobId) : std::nullopt;
    }
    const std::string& PrinterName() const { return printerName_; }
    // Whether the change notification exists, so that waits can work.
    bool Watching() const { return changes_ != nullptr; }

private:
    std::string printerName_;
    JobList jobs_;
    std::unique_ptr<SpoolerPrinter> printer_;
    std::unique_ptr<ChangeNotification> changes_;
    bool snapshotOwed_ = false;
};

}  // namespace ostrel
