#pragma once

#include "Process.h"
#include "TempFolder.h"

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace ostrel::test {

// A private CUPS scheduler in a temporary folder on a free loopback port,
// run by scripts/private-cupsd; ended with the object. Start one per test
// program: it takes a moment, and the tests share it.
class CupsServer {
public:
    // `printers` are PostScript queues that run the CUPS filters, so the
    // pages of every job are counted; `rawPrinters` pass jobs straight to
    // the device and count nothing, and are quick to create in any number.
    explicit CupsServer(const std::vector<std::string>& printers = {},
                        const std::vector<std::string>& rawPrinters = {});
    ~CupsServer();
    CupsServer(const CupsServer&) = delete;
    CupsServer& operator=(const CupsServer&) = delete;

    const std::string& Address() const { return address_; }  // 127.0.0.1:PORT
    int Port() const { return port_; }
    const std::filesystem::path& Folder() const { return folder_.Path(); }

    // Points libcups of this process at the server (CUPS_SERVER). libcups
    // reads it once per thread, so call it before anything uses libcups.
    void UseInThisProcess() const;

    void AddPrinters(const std::vector<std::string>& names);
    // Queues without filters: jobs pass straight to the device, no pages.
    void AddRawPrinters(const std::vector<std::string>& names);
    void AddClass(const std::string& name, const std::vector<std::string>& members);
    void SetDefault(const std::string& printer);
    // A disabled printer keeps its jobs queued.
    void Disable(const std::string& printer);
    void Enable(const std::string& printer);
    // Ends the scheduler and starts it again on the same port, optionally
    // as if every event subscription had lapsed meanwhile.
    void Restart(bool forgetSubscriptions = false);

    struct Job {
        std::string printer = {};
        std::string user = "tester";
        std::string title = "document";
        std::filesystem::path file = {};
        int copies = 1;
        bool hold = false;  // held until released
    };
    // Submits with lp; returns the job id.
    std::uint32_t Submit(const Job& job);
    // Submits all, several at a time; returns the ids in order.
    std::vector<std::uint32_t> SubmitAll(const std::vector<Job>& jobs);
    void Cancel(std::uint32_t jobId);
    void Release(std::uint32_t jobId);

    // A PDF document of `pages` pages in the server's folder.
    std::filesystem::path PdfWithPages(int pages);

    // The TCP connections this process holds open to the server.
    int ConnectionsFromThisProcess() const;

private:
    ProcessResult Script(std::vector<std::string> args) const;
    ProcessResult Tool(const std::string& name, std::vector<std::string> args) const;
    std::vector<std::string> SubmitArguments(const Job& job) const;

    TempFolder folder_;
    std::string address_;
    int port_ = 0;
    std::map<int, std::filesystem::path> pdfs_;
};

// A valid PDF of `pages` letter-sized pages with a line on each.
std::string MinimalPdf(int pages);

// How long a test waits for a job's event: generous, since on two busy
// cores a PostScript job through ghostscript takes a while, and nothing
// waits longer than its event needs.
inline constexpr std::chrono::milliseconds kCupsPatience{90000};

// "bulk0" to "bulk199": two hundred raw queues of the shared scheduler.
const std::vector<std::string>& BulkPrinters();

// One scheduler for a whole test program, used by this process's libcups:
//   laser, ink   PostScript queues whose filters count pages
//   raw          a raw queue: no filters, no pages
//   stopped      a raw queue that is disabled, so jobs stay queued
//   team         a class of laser and ink
//   bulk0...     two hundred raw queues
CupsServer& SharedScheduler();

// What became of a wait that was stopped while it slept.
struct StoppedWait {
    bool slept = false;                    // the waiting thread was seen asleep before the stop
    int result = -1;                       // what the wait returned
    std::chrono::nanoseconds wakeDelay{};  // from the stop request to its return
};

// Runs `wait` on a thread of its own, waits until that thread sleeps in the
// kernel, requests the stop and measures how soon the wait returns.
StoppedWait StopABlockedWait(const std::function<int(std::stop_token)>& wait);

}  // namespace ostrel::test
