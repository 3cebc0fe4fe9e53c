#include "JobRecorder.h"

#include "DocumentNames.h"
#include "EventLogWriter.h"
#include "PeriodKeys.h"
#include "SafeText.h"
#include "SettingsDocument.h"

#include <cctype>
#include <limits>

namespace ostrel {

std::int64_t JobRecorder::JobCost(std::string_view costPerPage, std::uint32_t pages)
{
    constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
    size_t at = 0;
    while (at < costPerPage.size() && std::isspace(static_cast<unsigned char>(costPerPage[at])))
        ++at;
    bool negative = false;
    if (at < costPerPage.size() && (costPerPage[at] == '+' || costPerPage[at] == '-'))
        negative = costPerPage[at++] == '-';
    std::int64_t cost = 0;
    for (; at < costPerPage.size() && costPerPage[at] >= '0' && costPerPage[at] <= '9'; ++at)
        cost = std::min(cost * 10 + (costPerPage[at] - '0'), kLimit);
    return (negative ? -cost : cost) * static_cast<std::int64_t>(pages);
}

std::string JobRecorder::SafeName(std::string_view name)
{
    return SanitizeXmlText(StripXmlSpecials(name));
}

std::string JobRecorder::EventText(const PrintJob& job, std::string_view costPerPage, std::string_view printerName,
                                   bool withDocumentName)
{
    const SpoolerTime& at = job.submitted;
    return "\n<event><day>" + TwoDigits(at.day) + "</day><month>" + TwoDigits(at.month) + "</month><year>" +
           TwoDigits(at.year) + "</year><hour>" + TwoDigits(at.hour) + "</hour><min>" + TwoDigits(at.minute) +
           "</min><doc>" + (withDocumentName ? SafeName(job.document) : std::string(kUnrecordedDocument)) +
           "</doc><pages>" + std::to_string(job.totalPages) + "</pages><cost>" +
           std::to_string(JobCost(costPerPage, job.totalPages)) + "</cost><printer>" + SafeName(printerName) +
           "</printer><user>" + SafeName(job.user) + "</user></event>";
}

void JobRecorder::Record(const PrintJob& job, std::string_view costPerPage, std::string_view printerName,
                         std::string_view queue)
{
    writer_.Write({EventText(job, costPerPage, printerName, RecordsDocumentNames(registry_)), SafeName(job.user),
                   SafeName(printerName), std::string(queue), job.id, job.submitted.instant});
}

bool JobRecorder::RecordIfOwed(const EndedJob& ended, std::string_view costPerPage, std::string_view printerName,
                               const std::string& queue)
{
    if (!writer_.Owed(queue, ended.job.id, ended.endedAt))
        return false;
    Record(PrintJob{ended.job}, costPerPage, printerName, queue);
    return true;
}

}  // namespace ostrel
