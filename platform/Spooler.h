#pragma once

#include "Result.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ostrel {

// The outcome of a spooler call: a value, or the spooler's error code
// (Error) and, where the spooler said more, what failed (Why().what).
template <class T>
class SpoolerResult : public Result<T> {
public:
    using Result<T>::Result;
    static SpoolerResult Failure(std::uint32_t code, std::string what = {})
    {
        return SpoolerResult(ostrel::Failure{std::move(what), static_cast<int>(code)});
    }

    // The error code of a failure, 0 on success.
    std::uint32_t Error() const { return static_cast<std::uint32_t>(this->Why().code); }
};

// Error codes the spooler layer reports, in the numbering the monitor's
// messages use.
namespace spooler_error {
inline constexpr std::uint32_t kNotEnoughMemory = 8;
inline constexpr std::uint32_t kInvalidPrinterName = 1801;
inline constexpr std::uint32_t kServiceUnavailable = 1722;  // the scheduler cannot be reached
inline constexpr std::uint32_t kInvalidHandle = 6;
inline constexpr std::uint32_t kGeneralFailure = 31;
}  // namespace spooler_error

// A local date and time, field by field.
struct SpoolerTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;      // 1 to 12
    std::uint16_t dayOfWeek = 0;  // 0 = Sunday
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;
    // The same moment in seconds since the epoch, which the local fields
    // alone cannot say across a time zone or a daylight-saving change;
    // 0 when the spooler did not give it.
    std::int64_t instant = 0;

    bool operator==(const SpoolerTime&) const = default;
};

// Job status bits, numbered as the monitor's job list knows them.
namespace job_status {
inline constexpr std::uint32_t kPaused = 0x1;
inline constexpr std::uint32_t kError = 0x2;
inline constexpr std::uint32_t kDeleting = 0x4;
inline constexpr std::uint32_t kSpooling = 0x8;
inline constexpr std::uint32_t kPrinting = 0x10;
inline constexpr std::uint32_t kOffline = 0x20;
inline constexpr std::uint32_t kPaperOut = 0x40;
inline constexpr std::uint32_t kPrinted = 0x80;
inline constexpr std::uint32_t kDeleted = 0x100;
inline constexpr std::uint32_t kBlocked = 0x200;
inline constexpr std::uint32_t kUserIntervention = 0x400;
inline constexpr std::uint32_t kRestart = 0x800;
inline constexpr std::uint32_t kComplete = 0x1000;
}  // namespace job_status

// One job of a printer's queue, as a queue listing gives it.
struct SpoolerJob {
    std::uint32_t id = 0;
    std::string user;
    std::string document;
    std::string statusText;
    std::uint32_t status = 0;
    std::uint32_t pagesPrinted = 0;
    std::uint32_t totalPages = 0;
    SpoolerTime submitted;  // local time

    bool operator==(const SpoolerJob&) const = default;
};

// A job the spooler's history still lists after it left the queue.
struct EndedJob {
    SpoolerJob job;            // its final fields
    std::int64_t endedAt = 0;  // seconds since the epoch, on the spooler's clock
};

// Field codes of the notification data entries.
namespace notify_field {
inline constexpr std::uint16_t kUserName = 3;
inline constexpr std::uint16_t kStatus = 10;
inline constexpr std::uint16_t kStatusText = 11;
inline constexpr std::uint16_t kDocument = 13;
inline constexpr std::uint16_t kSubmitted = 16;
inline constexpr std::uint16_t kTotalPages = 20;
inline constexpr std::uint16_t kPagesPrinted = 21;
}  // namespace notify_field

inline constexpr std::uint16_t kJobNotifyType = 1;
inline constexpr std::uint16_t kPrinterNotifyType = 0;

// Change flags of a notification.
namespace printer_change {
inline constexpr std::uint32_t kAddJob = 0x100;
inline constexpr std::uint32_t kSetJob = 0x200;
inline constexpr std::uint32_t kDeleteJob = 0x400;
inline constexpr std::uint32_t kWriteJob = 0x800;
inline constexpr std::uint32_t kAllJobChanges = 0xFF00;
}  // namespace printer_change

// One data entry of a notification: one field of one job (or printer).
// The data is a number, a text or a local date and time, after the field.
struct NotifyEntry {
    std::uint16_t type = kJobNotifyType;
    std::uint16_t field = 0;
    std::uint32_t jobId = 0;
    std::variant<std::uint32_t, std::string, SpoolerTime> data;

    bool operator==(const NotifyEntry&) const = default;
};

// What one fetch of a change notification yields: the change flags that
// fired and the data entries that came with them.
struct ChangeBlock {
    std::uint32_t changes = 0;
    std::vector<NotifyEntry> entries;
};

// A waitable stream of a printer's job changes. Used by one thread.
class ChangeNotification {
public:
    enum class WaitResult { Signalled, TimedOut, Stopped };

    virtual ~ChangeNotification() = default;

    // Blocks until a change can be fetched, `timeout` passes (none: no
    // limit) or `stop` is requested. Never spins: it sleeps until woken.
    virtual WaitResult Wait(std::optional<std::chrono::milliseconds> timeout, std::stop_token stop) = 0;

    // The next change block. A block whose changes hold kDeleteJob follows
    // the blocks carrying the final fields of the jobs that left the queue.
    virtual SpoolerResult<ChangeBlock> Next() = 0;
};

// An opened printer. Used by one thread.
class SpoolerPrinter {
public:
    virtual ~SpoolerPrinter() = default;

    // A change notification for the job changes in `filter`.
    virtual SpoolerResult<std::unique_ptr<ChangeNotification>> WatchChanges(std::uint32_t filter) = 0;

    // The number of jobs in the printer's queue.
    virtual SpoolerResult<std::uint32_t> JobCount() = 0;

    // At most `limit` jobs of the queue, from its first.
    virtual SpoolerResult<std::vector<SpoolerJob>> Jobs(std::uint32_t limit) = 0;

    // The jobs that left the queue and that the spooler still keeps in its
    // history (completed, cancelled or aborted), oldest first.
    virtual SpoolerResult<std::vector<EndedJob>> EndedJobs() = 0;

    // The pages of a job that completed, counted from its document, copies
    // included: for jobs the spooler counted no pages of, as on queues
    // without filters. Nothing when the job did not complete or its
    // document cannot be had or read. May take as long as reading the
    // document; never throws.
    virtual std::optional<std::uint32_t> PagesFromDocument(std::uint32_t /*jobId*/) { return std::nullopt; }
};

// The print spooler. Thread-safe: every printer monitor opens its printer
// through the same object.
class Spooler {
public:
    virtual ~Spooler() = default;

    virtual SpoolerResult<std::unique_ptr<SpoolerPrinter>> OpenPrinter(std::string_view name) = 0;

    // The names of every printer and class the spooler offers, without
    // duplicates, in the spooler's order.
    virtual SpoolerResult<std::vector<std::string>> PrinterNames() = 0;

    // The default printer's name, or nothing when there is none.
    virtual std::optional<std::string> DefaultPrinter() = 0;

    // Names this spooler among others, e.g. "127.0.0.1:631": job ids are
    // unique only within one scheduler.
    virtual std::string Address() const = 0;
};

}  // namespace ostrel
