#pragma once

#include "Clock.h"
#include "ReportPeriod.h"
#include "ReportResult.h"

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace ostrel {

// The messages a report can end with, word for word as the console shows them.
namespace report_message {
inline constexpr std::string_view kPrinterNotMonitored =
    "The selected printer is not monitored. Please check the Printers menu.";
inline constexpr std::string_view kDefaultPrinterNotMonitored =
    "The default printer is not monitored. Please check the Printers menu.";
inline constexpr std::string_view kReportMissing = "The report your are trying to view does not exists.";
inline constexpr std::string_view kCopyFailed =
    "The report your are trying to view cannot be displayed. File could not be copyed to report folder.";
}  // namespace report_message

// What a report is about.
struct ReportSubject {
    ReportKind kind = ReportKind::Aggregated;
    // The printer's or the user's name as the console lists it (or as typed
    // on a command line); unused for the machine-wide report.
    std::string name;
    // The status page's default printer, whose missing ID has a message of
    // its own.
    bool defaultPrinter = false;
};

struct ReportRequest {
    ReportSubject subject;
    std::string period;  // one of ReportPeriodNames()
};

// "printers.xsl", "users.xsl" or "style.xsl".
std::string_view StylesheetName(ReportKind kind);

// The XML declaration, the stylesheet instruction and the log start tag
// that a report document of `kind` begins with. The encoding it declares
// is UTF-8, which is what the logs hold.
std::string ReportHeader(ReportKind kind);

// <appFolder>/Logs: the period files, the stylesheets, DisplayReport.xml.
std::filesystem::path LogsFolder(std::string_view appFolder);

// <appFolder>/Logs/DisplayReport.xml, rewritten for every report.
std::filesystem::path DisplayReportPath(std::string_view appFolder);

// The mode DisplayReport.xml is made with: it copies print logs, so it is
// not for others to read; any administrator's console rewrites it, so the
// group keeps write.
constexpr mode_t kDisplayReportMode = 0660;

// The period file of a subject: Logs/Printers/Printer_<ID>/, where the ID
// is the one settings.xml gives the printer's name; Logs/Users/<folder>/,
// the folder named by the monitor's own rule (UserFolderName); or Logs/.
// Names are taken as the monitor records them (the five XML specials
// removed, invalid UTF-8 replaced), so a name typed with an apostrophe
// still finds its files. Fails with the "not monitored" message when the
// printer has no usable ID.
ReportResult<std::filesystem::path> PeriodFilePath(std::string_view appFolder, const ReportSubject& subject,
                                                   const ResolvedPeriod& period);

// The report document made from the bytes of a period file: the header of
// `kind` and `caption` written over the file's leading blanks, the records
// as they are, "</log>" at the end. When a damaged file has fewer blanks
// than header and caption need, they replace those blanks, so no record
// is lost. A record still being written when the file was read (an
// unfinished tail after the last "</event>") is left out.
std::string BuildReportDocument(std::string_view periodFile, ReportKind kind, std::string_view caption);

// Reads a period file (one snapshot; the file is never changed) and builds
// its report document. Fails with kReportMissing when there is no file,
// kCopyFailed when it cannot be read.
ReportResult<std::string> ReadReportDocument(const std::filesystem::path& periodFile, ReportKind kind,
                                             std::string_view caption);

// The assembly: the report document of `periodFile` written to
// `documentFile`, which it replaces whole in one rename, so that a viewer
// never reads half a document and a failure leaves the previous one as it
// was; a new document gets kDisplayReportMode. Fails with the messages of
// ReadReportDocument, or kCopyFailed when the document cannot be written.
ReportResult<std::filesystem::path> AssembleReport(const std::filesystem::path& periodFile, ReportKind kind,
                                                   std::string_view caption, const std::filesystem::path& documentFile);

// A report from its request to its document's bytes: the period resolved
// from one reading of `clock`, the period file found, the document built.
// A period name outside the list gives kReportMissing.
ReportResult<std::string> PrepareReport(std::string_view appFolder, const ReportRequest& request, const Clock& clock);

// As PrepareReport, then the document written to DisplayReportPath, whose
// path is returned for the viewer.
ReportResult<std::filesystem::path> MakeDisplayReport(std::string_view appFolder, const ReportRequest& request,
                                                      const Clock& clock);

}  // namespace ostrel
