#include "CupsJobFields.h"

#include <algorithm>

namespace ostrel::cups {
namespace {

template <class T>
void Take(std::optional<T>& mine, const std::optional<T>& theirs)
{
    if (theirs)
        mine = theirs;
}

bool Has(const std::vector<std::string>& reasons, std::string_view reason)
{
    return std::find(reasons.begin(), reasons.end(), reason) != reasons.end();
}

template <class T>
void AddIfChanged(std::vector<NotifyEntry>& entries, const std::optional<SpoolerJob>& before, const SpoolerJob& after,
                  T SpoolerJob::*member, std::uint16_t field)
{
    if (before && (*before).*member == after.*member)
        return;
    entries.push_back(NotifyEntry{kJobNotifyType, field, after.id, after.*member});
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// URIs carry non-ASCII queue names %-encoded; a broken escape stays as it is.
std::string PercentDecoded(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

}  // namespace

void JobAttributes::MergeFrom(const JobAttributes& newer)
{
    if (newer.id)
        id = newer.id;
    Take(state, newer.state);
    Take(reasons, newer.reasons);
    Take(name, newer.name);
    Take(user, newer.user);
    Take(printerMessage, newer.printerMessage);
    Take(printerUri, newer.printerUri);
    Take(impressions, newer.impressions);
    Take(impressionsCompleted, newer.impressionsCompleted);
    Take(createdAt, newer.createdAt);
    Take(completedAt, newer.completedAt);
}

bool IsTerminalState(int state)
{
    return state >= ipp_job_state::kCanceled;
}

std::uint32_t StatusBits(int state, const std::vector<std::string>& reasons)
{
    std::uint32_t bits = 0;
    switch (state) {
    case ipp_job_state::kPending: break;
    case ipp_job_state::kHeld: bits = job_status::kPaused; break;
    case ipp_job_state::kProcessing: bits = job_status::kPrinting; break;
    case ipp_job_state::kStopped:
        // The queue stopped under the job, usually after a device error.
        bits = job_status::kPrinting | job_status::kError;
        break;
    case ipp_job_state::kCanceled: bits = job_status::kDeleted; break;
    case ipp_job_state::kAborted: bits = job_status::kError; break;
    case ipp_job_state::kCompleted: bits = job_status::kPrinted | job_status::kComplete; break;
    default: break;
    }
    // Still receiving the document from the client.
    if (!IsTerminalState(state) && Has(reasons, "job-incoming"))
        bits |= job_status::kSpooling;
    return bits;
}

std::string StatusText(const std::vector<std::string>& reasons, const std::string& printerMessage)
{
    if (!printerMessage.empty())
        return printerMessage;
    std::string text;
    for (const std::string& reason : reasons) {
        if (reason.empty() || reason == "none")
            continue;
        if (!text.empty())
            text += ", ";
        text += reason;
    }
    return text;
}

SpoolerTime LocalSpoolerTime(std::time_t when)
{
    std::tm local{};
    if (!::localtime_r(&when, &local))
        return {};
    SpoolerTime time;
    time.year = static_cast<std::uint16_t>(local.tm_year + 1900);
    time.month = static_cast<std::uint16_t>(local.tm_mon + 1);
    time.dayOfWeek = static_cast<std::uint16_t>(local.tm_wday);
    time.day = static_cast<std::uint16_t>(local.tm_mday);
    time.hour = static_cast<std::uint16_t>(local.tm_hour);
    time.minute = static_cast<std::uint16_t>(local.tm_min);
    time.second = static_cast<std::uint16_t>(std::min(local.tm_sec, 59));
    time.instant = static_cast<std::int64_t>(when);
    return time;
}

SpoolerJob ToSpoolerJob(const JobAttributes& job)
{
    SpoolerJob out;
    out.id = job.id;
    out.user = job.user.value_or("");
    out.document = job.name.value_or("");
    const int state = job.state.value_or(ipp_job_state::kPending);
    static const std::vector<std::string> kNoReasons;
    const std::vector<std::string>& reasons = job.reasons ? *job.reasons : kNoReasons;
    out.status = StatusBits(state, reasons);
    out.statusText = StatusText(reasons, job.printerMessage.value_or(""));
    out.pagesPrinted = job.impressionsCompleted.value_or(0);
    if (IsTerminalState(state))
        out.totalPages = job.impressionsCompleted.value_or(job.impressions.value_or(0));
    else
        out.totalPages = std::max(job.impressions.value_or(0), out.pagesPrinted);
    if (job.createdAt)
        out.submitted = LocalSpoolerTime(static_cast<std::time_t>(*job.createdAt));
    return out;
}

std::vector<NotifyEntry> ChangedFields(const std::optional<SpoolerJob>& before, const SpoolerJob& after)
{
    std::vector<NotifyEntry> entries;
    AddIfChanged(entries, before, after, &SpoolerJob::user, notify_field::kUserName);
    AddIfChanged(entries, before, after, &SpoolerJob::document, notify_field::kDocument);
    AddIfChanged(entries, before, after, &SpoolerJob::submitted, notify_field::kSubmitted);
    AddIfChanged(entries, before, after, &SpoolerJob::status, notify_field::kStatus);
    AddIfChanged(entries, before, after, &SpoolerJob::statusText, notify_field::kStatusText);
    AddIfChanged(entries, before, after, &SpoolerJob::totalPages, notify_field::kTotalPages);
    AddIfChanged(entries, before, after, &SpoolerJob::pagesPrinted, notify_field::kPagesPrinted);
    return entries;
}

std::optional<std::string> QueueNameFromUri(std::string_view uri)
{
    for (std::string_view folder : {std::string_view("/printers/"), std::string_view("/classes/")}) {
        const size_t at = uri.rfind(folder);
        if (at == std::string_view::npos)
            continue;
        std::string_view encoded = uri.substr(at + folder.size());
        encoded = encoded.substr(0, encoded.find_first_of("?#"));
        std::string name = PercentDecoded(encoded);
        if (!PlausibleQueueName(name))
            return std::nullopt;
        return name;
    }
    return std::nullopt;
}

bool PlausibleQueueName(std::string_view name)
{
    if (name.empty() || name.size() > 127)
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7f || c == '/' || c == '#' || c == '?' || c == '\\';
    });
}

}  // namespace ostrel::cups
