#pragma once

#include "Clock.h"
#include "FakeClock.h"
#include "TempFolder.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace ostrel::test {

// Runs a test in a time zone of its choosing, restoring the one before.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone);
    ~ZoneGuard();
    ZoneGuard(const ZoneGuard&) = delete;
    ZoneGuard& operator=(const ZoneGuard&) = delete;

private:
    std::string saved_;
    bool hadZone_ = false;
};

// A job as a test prints it: who, where, what, when it was submitted.
struct TestJob {
    std::string user;
    std::string printer;
    std::string document;
    std::uint32_t pages = 1;
    std::string costPerPage = "5";  // cents, as settings.xml holds it
};

// The sums a report should show for a set of jobs.
struct Totals {
    std::int64_t jobs = 0;
    std::int64_t pages = 0;
    std::int64_t cents = 0;

    bool operator==(const Totals&) const = default;
};

// An application folder with a settings document, the shipped stylesheets
// in Logs, and period files written by the monitor's own writer.
class ReportAppFolder {
public:
    ReportAppFolder();

    std::string Path() const { return folder_.Path().string(); }
    std::filesystem::path Logs() const { return folder_.Path() / "Logs"; }

    // Writes settings.xml with these printer entries (name, ID), all monitored.
    void WriteSettings(const std::vector<std::pair<std::string, std::string>>& printers);

    // Records `jobs` through the monitor's recorder and period-file writer,
    // as if they finished at `recordedAt`; each is submitted at the same
    // instant. Returns the totals of the jobs as the monitor recorded them.
    Totals Record(const std::vector<TestJob>& jobs, Clock::TimePoint recordedAt);

    // The files of the shipped stylesheets in the source tree.
    static std::filesystem::path ShippedStylesheet(const std::string& name);

private:
    TempFolder folder_;
};

// "1,234.56" for 123456 cents.
std::string Money(std::int64_t cents);

// The totals of the jobs, one entry per user or per printer name as the
// monitor records it.
std::map<std::string, Totals> TotalsBy(const std::vector<TestJob>& jobs, bool byUser);

// A name from a job as the monitor records it.
std::string SafeName(const std::string& name);

// The text of every node an XPath expression selects in an HTML page,
// whitespace at both ends trimmed, in document order.
std::vector<std::string> HtmlTexts(const std::string& html, const std::string& xpath);

// The bytes of a file, or "<missing>".
std::string FileBytes(const std::filesystem::path& file);

}  // namespace ostrel::test
