#pragma once

#include "Clock.h"
#include "RecordJournal.h"
#include "SafeFolder.h"
#include "SystemLog.h"

#include <array>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace ostrel {

// Files event records into the eighteen period logs of the Logs tree (day,
// week, month, quarter, semester and year; for the machine, the user and
// the printer), keyed by the local date at the moment of writing, and adds
// the user to settings.xml. One writer serves every printer monitor: a lock
// held for the whole of one record keeps every record whole in every file
// and the user list complete.
//
// A record is all or nothing across its files, also across a crash: it is
// entered in the journal before its first append, with each file's size
// before it, and a replay puts it into the files that lack it, never twice.
// A record that meets a full disk is kept, in order, and written once there
// is room again. A file that cannot be written for another reason (no
// rights) loses that record alone.
class EventLogWriter {
public:
    static constexpr std::size_t kHeadRoom = 525;  // blanks a new period file starts with
    static constexpr const char* kJournalName = "Kestrun.journal";

    EventLogWriter(std::string appFolder, Clock& clock);

    // Reads the journal and finishes the records a crash left unwritten.
    void Replay();

    void Write(const EventRecord& record);

    // Writes the records a full disk kept back, if there is room now.
    void RetryKept();
    bool HasKept() const { return kept_; }

    // See RecordJournal.
    Clock::TimePoint WatchedSince(const std::string& queue);
    void ForgetWatching();
    bool Owed(const std::string& queue, std::uint32_t jobId, std::int64_t endedAt);

    // The eighteen files a record written at `now` goes to, in writing order.
    std::vector<std::filesystem::path> PeriodFiles(Clock::TimePoint now, const std::string& userFolder,
                                                   const std::string& printerFolder) const;

private:
    enum class Outcome { Written, Kept, Lost };

    void FlushLocked();
    Outcome WriteLocked(const PendingRecord& pending);
    RecordPlacement PlaceLocked(const EventRecord& record);
    struct RecordFolder {
        Safe<SafeFolder> folder;
        int error = 0;  // why it could not be opened
    };
    std::array<RecordFolder, 3> OpenFolders(const RecordPlacement& placement) const;
    Outcome PutInto(const RecordFolder& folder, const std::string& name, std::int64_t sizeBefore,
                    const std::string& text);

    std::string appFolder_;
    Clock& clock_;
    std::mutex lock_;
    RecordJournal journal_;
    std::atomic<bool> kept_{false};
    LogOnce log_;
};

}  // namespace ostrel
