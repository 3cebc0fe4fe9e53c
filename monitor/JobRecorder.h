#pragma once

#include "JobList.h"
#include "RegistryHive.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace ostrel {

class EventLogWriter;

// Turns a finished job into its event record and hands it to the writer,
// on the calling monitor's thread. Whether the record names the job's
// document is read from `registry` (RecordDocumentNames) for every job, so
// that a change applies from the next job on.
class JobRecorder {
public:
    JobRecorder(EventLogWriter& writer, RegistryHive& registry) : writer_(writer), registry_(registry) {}

    // `queue` ("<scheduler>/<printer>") names where the job ran, so that
    // the same job found again in the scheduler's history is known.
    void Record(const PrintJob& job, std::string_view costPerPage, std::string_view printerName,
                std::string_view queue = {});

    // Records a job of the scheduler's history unless it ended while its
    // queue was not watched, or is recorded already. True when recorded.
    bool RecordIfOwed(const EndedJob& ended, std::string_view costPerPage, std::string_view printerName,
                      const std::string& queue);

    EventLogWriter& Writer() { return writer_; }

    // The cost of a job in cents: the cost text read as an integer the way
    // C's atoi reads it ("2.5" is 2, "" is 0), kept within 32 bits, times
    // the pages, in 64 bits so that no product overflows.
    static std::int64_t JobCost(std::string_view costPerPage, std::uint32_t pages);

    // "\n<event><day>03</day>...<user>maria</user></event>"; without the
    // document's name, "-" stands in its place.
    static std::string EventText(const PrintJob& job, std::string_view costPerPage, std::string_view printerName,
                                 bool withDocumentName = true);

    // A name from a job made fit for the logs.
    static std::string SafeName(std::string_view name);

private:
    EventLogWriter& writer_;
    RegistryHive& registry_;
};

}  // namespace ostrel
