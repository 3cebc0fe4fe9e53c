#pragma once

#include "Clock.h"

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace ostrel {

// One finished job as the recorder hands it over: the event element, and
// the user and printer names it carries (already made safe for XML).
struct EventRecord {
    std::string text;
    std::string user;
    std::string printer;
};

// Files event records into the eighteen period logs of the Logs tree (day,
// week, month, quarter, semester and year; for the machine, the user and
// the printer), keyed by the local date at the moment of writing, and adds
// the user to settings.xml. One writer serves every printer monitor: a lock
// held for the whole of one record keeps every record whole in every file
// and the user list complete. Failures are quiet: a file that cannot be
// written loses that record alone.
class EventLogWriter {
public:
    static constexpr std::size_t kHeadRoom = 525;  // blanks a new period file starts with

    EventLogWriter(std::string appFolder, Clock& clock);

    void Write(const EventRecord& record);

    // The eighteen files a record written at `now` goes to, in writing order.
    std::vector<std::filesystem::path> PeriodFiles(Clock::TimePoint now, const std::string& userFolder,
                                                   const std::string& printerFolder) const;

private:
    std::string appFolder_;
    Clock& clock_;
    std::mutex lock_;
};

}  // namespace ostrel
