#include "ReportMailer.h"

#include "ApplicationFolder.h"
#include "LogDocument.h"
#include "PeriodKeys.h"
#include "RegValue.h"
#include "SafeFolder.h"

#include <algorithm>
#include <ctime>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

constexpr const char* kToSendDay = "Software\\Ostrel\\ToSendDay";
constexpr const char* kEmailLog = "Software\\Ostrel\\EmailLog";
constexpr const char* kEToSendFile = "Software\\Ostrel\\EToSendFile";

constexpr const char* kReportName = "Report.xml";
constexpr mode_t kReportMode = 0640;

constexpr std::string_view kStylesheetPath = "/css-js/ostrel.xsl";
// A log begins with 525 blanks; header, caption and "</period>" take 113
// bytes besides the address.
constexpr std::size_t kLongestStylesheet = 400;

// The local date `days` away from the date of `now`, by the calendar: a day
// of 23 or 25 hours still has one yesterday and one tomorrow.
std::tm LocalDateFrom(Clock::TimePoint now, int days)
{
    std::tm date = LocalTime(now);
    date.tm_mday += days;
    date.tm_hour = 12;
    date.tm_min = 0;
    date.tm_sec = 0;
    date.tm_isdst = -1;
    std::mktime(&date);
    return date;
}

std::string DayKey(const std::tm& date)
{
    return ostrel::DayKey(date.tm_year + 1900, date.tm_mon + 1, date.tm_mday);
}

// From `now` to the next local midnight, never less than a millisecond,
// rounded up so that the next pass never runs before midnight.
std::chrono::milliseconds UntilNextMidnight(Clock::TimePoint now)
{
    const std::tm tomorrow = LocalDateFrom(now, 1);
    const Clock::TimePoint midnight = LocalTimePoint(tomorrow.tm_year + 1900, tomorrow.tm_mon + 1, tomorrow.tm_mday);
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(midnight - now);
    return std::max(wait, std::chrono::milliseconds(1));
}

}  // namespace

std::string DefaultReportStylesheet()
{
    return std::string(OSTREL_REPORT_STYLESHEET_HOST) + std::string(kStylesheetPath);
}

std::string UsableReportStylesheet(std::string_view address)
{
    const bool usable = !address.empty() && address.size() <= kLongestStylesheet &&
                        std::all_of(address.begin(), address.end(), [](char c) {
                            return c > ' ' && c < 0x7F && c != '\'' && c != '"' && c != '<' && c != '>' && c != '&';
                        });
    return usable ? std::string(address) : DefaultReportStylesheet();
}

std::string ReportCaption(Clock::TimePoint now)
{
    return DayCaption(now);
}

std::string BuildDailyReport(std::string_view dayLog, std::string_view stylesheetAddress, std::string_view caption)
{
    return CompleteLogDocument(dayLog, LogDocumentHeader(stylesheetAddress) + PeriodCaption(caption));
}

ReportMailer::ReportMailer(ReportMailerSetup setup) : setup_(std::move(setup))
{
    setup_.stylesheetAddress = UsableReportStylesheet(setup_.stylesheetAddress);
}

ReportMailer::~ReportMailer()
{
    Stop();
}

std::uint32_t ReportMailer::Run(std::stop_token stop)
{
    do {
        const std::string noted = RegValueString(kToSendDay, "", false, setup_.registry).Get();
        const Clock::TimePoint now = setup_.clock.Now();
        const std::string today = DayKey(LocalDateFrom(now, 0));
        const std::string yesterday = DayKey(LocalDateFrom(now, -1));

        if (noted == yesterday && !MailReportOf(noted, today, stop))
            return 0;
        // Noted whatever became of the report, so that a day without a log
        // or without mail never costs the next day its report.
        RegValueString(kToSendDay, "", false, setup_.registry).Set(today);
    } while (setup_.clock.SleepFor(UntilNextMidnight(setup_.clock.Now()), stop));
    return 0;
}

bool ReportMailer::MailReportOf(const std::string& day, const std::string& today, std::stop_token stop)
{
    // The group may write Logs: a link planted as the day log, the document
    // or a folder on the way is refused (and journaled), never followed, so
    // no file of the machine is copied into the document.
    const Safe<SafeFolder> logs = SafeFolder::Open(setup_.appFolder, kLogsFolder);
    if (!logs)
        return true;

    // The log must have been read whole before anything is written, so that
    // a failed copy never mails an older document.
    const Safe<std::string> log = logs.value.ReadFile(PeriodFileName(Period::Day, day));
    if (!log)
        return true;
    const std::string caption = ReportCaption(setup_.clock.Now());
    // Whatever mode a document left there had, this one is for the owner
    // and the administrators' group alone.
    if (logs.value.Replace(kReportName, BuildDailyReport(log.value, setup_.stylesheetAddress, caption), kReportMode,
                           ReplaceMode::Exactly) != SafeStatus::Ok)
        return true;
    const fs::path report = InApplicationFolder(setup_.appFolder, std::string("Logs/") + kReportName);
    RegValueString(kEToSendFile, "", false, setup_.registry).Set(report.string());

    if (RegValueDword(kEmailLog, 0, false, setup_.registry).Get() != 1)
        return true;
    // A mailer that cannot be started is not reported: the monitor has no
    // one to tell, and the day moves on as when it is started.
    setup_.launcher.Start(InApplicationFolder(setup_.appFolder, "Relayer"));
    RegValueString(kToSendDay, "", false, setup_.registry).Set(today);
    if (!setup_.clock.SleepFor(kRemovalDelay, stop))
        return false;
    setup_.launcher.ReapFinished();
    logs.value.Remove(kReportName);
    return true;
}

}  // namespace ostrel
