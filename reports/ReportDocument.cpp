#include "ReportDocument.h"

#include "ApplicationFolder.h"
#include "LogDocument.h"
#include "Files.h"
#include "PeriodKeys.h"
#include "SafeText.h"
#include "SettingsDocument.h"

#include <algorithm>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

// The name as the monitor records it, so that both find the same entry.
std::string RecordedName(std::string_view name)
{
    return SanitizeXmlText(StripXmlSpecials(name));
}

// An empty ID is no ID; any other names its folder under Logs/Printers by
// the monitor's own rule, which keeps it there.
bool UsablePrinterId(std::string_view id)
{
    return !id.empty();
}

// The tail, below the application folder, of the folder that holds the
// subject's period files, ending with '/'.
ReportResult<std::string> SubjectFolder(std::string_view appFolder, const ReportSubject& subject)
{
    switch (subject.kind) {
    case ReportKind::Printer: {
        const std::string id = SettingsDocument::InFolder(appFolder).LookUpPrinterId(RecordedName(subject.name));
        if (!UsablePrinterId(id))
            return ReportResult<std::string>::Failure(std::string(subject.defaultPrinter
                                                                      ? report_message::kDefaultPrinterNotMonitored
                                                                      : report_message::kPrinterNotMonitored));
        return PrinterLogsFolder(PrinterFolderName(id)) + "/";
    }
    case ReportKind::User: {
        // An empty name has no folder: the monitor files its records
        // directly under Logs/Users, and so the report looks there.
        return UserLogsFolder(UserFolderName(RecordedName(subject.name))) + "/";
    }
    case ReportKind::Aggregated: break;
    }
    return std::string(kLogsFolder) + "/";
}

struct LocatedReport {
    fs::path periodFile;
    std::string caption;
};

ReportResult<LocatedReport> Locate(std::string_view appFolder, const ReportRequest& request, const Clock& clock)
{
    // The printer's ID is looked up before the period, as the console does.
    ReportResult<std::string> folder = SubjectFolder(appFolder, request.subject);
    if (!folder)
        return ReportResult<LocatedReport>::Failure(folder.Error());
    const std::optional<ResolvedPeriod> period = ResolvePeriod(request.period, request.subject.kind, clock);
    if (!period)
        return ReportResult<LocatedReport>::Failure(std::string(report_message::kReportMissing));
    return LocatedReport{InApplicationFolder(appFolder, *folder + period->FileName()), period->caption};
}

}  // namespace

std::string_view StylesheetName(ReportKind kind)
{
    switch (kind) {
    case ReportKind::Printer: return "printers.xsl";
    case ReportKind::User: return "users.xsl";
    case ReportKind::Aggregated: break;
    }
    return "style.xsl";
}

std::string ReportHeader(ReportKind kind)
{
    return LogDocumentHeader(StylesheetName(kind));
}

fs::path LogsFolder(std::string_view appFolder)
{
    return InApplicationFolder(appFolder, "Logs");
}

fs::path DisplayReportPath(std::string_view appFolder)
{
    return InApplicationFolder(appFolder, "Logs/DisplayReport.xml");
}

ReportResult<fs::path> PeriodFilePath(std::string_view appFolder, const ReportSubject& subject,
                                      const ResolvedPeriod& period)
{
    ReportResult<std::string> folder = SubjectFolder(appFolder, subject);
    if (!folder)
        return ReportResult<fs::path>::Failure(folder.Error());
    return InApplicationFolder(appFolder, *folder + period.FileName());
}

std::string BuildReportDocument(std::string_view periodFile, ReportKind kind, std::string_view caption)
{
    return CompleteLogDocument(periodFile, ReportHeader(kind) + std::string(caption));
}

ReportResult<std::string> ReadReportDocument(const fs::path& periodFile, ReportKind kind, std::string_view caption)
{
    if (!FileExists(periodFile))
        return ReportResult<std::string>::Failure(std::string(report_message::kReportMissing));
    const std::optional<std::string> bytes = ReadFileBytes(periodFile);
    if (!bytes)
        return ReportResult<std::string>::Failure(std::string(report_message::kCopyFailed));
    return BuildReportDocument(*bytes, kind, caption);
}

ReportResult<fs::path> AssembleReport(const fs::path& periodFile, ReportKind kind, std::string_view caption,
                                      const fs::path& documentFile)
{
    ReportResult<std::string> document = ReadReportDocument(periodFile, kind, caption);
    if (!document)
        return ReportResult<fs::path>::Failure(document.Error());
    if (!ReplaceFile(documentFile, *document, kDisplayReportMode))
        return ReportResult<fs::path>::Failure(std::string(report_message::kCopyFailed));
    return documentFile;
}

ReportResult<std::string> PrepareReport(std::string_view appFolder, const ReportRequest& request, const Clock& clock)
{
    ReportResult<LocatedReport> located = Locate(appFolder, request, clock);
    if (!located)
        return ReportResult<std::string>::Failure(located.Error());
    return ReadReportDocument(located->periodFile, request.subject.kind, located->caption);
}

ReportResult<fs::path> MakeDisplayReport(std::string_view appFolder, const ReportRequest& request, const Clock& clock)
{
    ReportResult<LocatedReport> located = Locate(appFolder, request, clock);
    if (!located)
        return ReportResult<fs::path>::Failure(located.Error());
    return AssembleReport(located->periodFile, request.subject.kind, located->caption, DisplayReportPath(appFolder));
}

}  // namespace ostrel
