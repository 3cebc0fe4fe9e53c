#pragma once

#include "Clock.h"
#include "ProcessLauncher.h"
#include "RegistryHive.h"
#include "WorkerThread.h"

#include <chrono>
#include <string>
#include <string_view>

namespace ostrel {

// The stylesheet address that mailed reports name unless told otherwise:
// the maker's web server, chosen when the product is built, with the fixed
// path "/css-js/ostrel.xsl".
std::string DefaultReportStylesheet();

// `address` when it can stand in the report header (printable ASCII, none
// of the characters that would end the attribute or the instruction, short
// enough to fit in a log's leading blanks), else the default.
std::string UsableReportStylesheet(std::string_view address);

// The caption of a report built at `now`: month/day/year of that local date,
// "03/01/2024". It is the date of the day after the day the report holds.
std::string ReportCaption(Clock::TimePoint now);

// The daily report document made from the bytes of a day log: the XML
// declaration (UTF-8, what the logs hold), the stylesheet instruction, the
// log start tag and the period caption written over the log's leading
// blanks, the records unchanged, "</log>" at the end. When the blank run is
// too short for the header, the header replaces the whole run instead, so
// that no record is ever overwritten.
std::string BuildDailyReport(std::string_view dayLog, std::string_view stylesheetAddress, std::string_view caption);

// What the report task works with.
struct ReportMailerSetup {
    RegistryHive& registry;
    Clock& clock;
    std::string appFolder;  // without a trailing '/'
    ProcessLauncher& launcher;
    std::string stylesheetAddress = DefaultReportStylesheet();
};

// The monitor's daily report task. Shortly after every local midnight, when
// the day that has just ended is the day noted in ToSendDay, it turns that
// day's machine-wide log into Logs/Report.xml, names it in EToSendFile, and
// when EmailLog is 1 starts <appFolder>/Relayer and removes the document a
// minute later. Every pass notes the current day, so each day is considered
// once, right after the midnight that ends it, whatever became of the day
// before. Runs until its owner stops it.
class ReportMailer final : public WorkerThread {
public:
    // How long the mailer has to read the document before it is removed.
    static constexpr std::chrono::milliseconds kRemovalDelay = std::chrono::seconds(60);

    explicit ReportMailer(ReportMailerSetup setup);
    ~ReportMailer() override;

protected:
    std::uint32_t Run(std::stop_token stop) override;

private:
    // False when the stop was requested during the pass.
    bool MailReportOf(const std::string& day, const std::string& today, std::stop_token stop);

    ReportMailerSetup setup_;
};

}  // namespace ostrel
