#pragma once

#include "Spooler.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace ostrel {

// One job the monitor knows in a printer's queue: the spooler's fields,
// and the finished marker a snapshot sets in its status.
struct PrintJob : SpoolerJob {
    static constexpr std::uint32_t kFinished = 1024;  // the status a snapshot gives a job gone from the queue

    bool Finished() const { return status == kFinished; }
    bool operator==(const PrintJob&) const = default;
};

// The jobs the monitor knows for one printer, filled from change
// notifications and queue snapshots. Belongs to one monitor thread.
// Failures raise EPrinter.
class JobList {
public:
    std::optional<std::uint32_t> Find(std::uint32_t jobId) const;
    void Add(const SpoolerJob& job);
    // A job that carries only its id, until notifications fill it in.
    void AddBlank(std::uint32_t jobId);
    std::uint32_t Count() const { return static_cast<std::uint32_t>(jobs_.size()); }
    // Raises "Index must be less than the jobs number" past the end.
    const PrintJob& At(std::uint32_t index) const;
    // Removes a job by id; the last job takes its place. An unknown id changes nothing.
    void Remove(std::uint32_t jobId);
    void Clear();

    // Folds one notification data entry into the list; entries for other
    // than jobs, and unknown fields, are ignored.
    void Apply(const NotifyEntry& entry);

    // Reads the printer's queue: adds the jobs the list lacks and marks
    // finished every listed job no longer in the queue. Without `keep` the
    // list is cleared first. Returns the number of jobs in the queue.
    std::uint32_t Snapshot(SpoolerPrinter* printer, bool keep);

private:
    std::vector<PrintJob> jobs_;
};

}  // namespace ostrel
