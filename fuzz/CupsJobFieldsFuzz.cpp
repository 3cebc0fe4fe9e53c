// The scheduler's answers as the monitor maps them onto jobs: a Get-Jobs,
// Get-Job-Attributes or Get-Notifications reply, read by libcups from the
// input bytes as from a connection, then taken apart by our readers. A
// remote print server's answers are as untrusted as the job names in them.

#include "CupsJobFields.h"
#include "CupsJobRequests.h"
#include "FuzzSupport.h"

#include <cups/ipp.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/types.h>

using namespace ostrel;
using namespace ostrel::cups;

namespace {

struct Reader {
    const std::uint8_t* data;
    std::size_t left;
};

ssize_t ReadBytes(void* context, ipp_uchar_t* buffer, size_t bytes)
{
    auto& reader = *static_cast<Reader*>(context);
    const std::size_t count = std::min(bytes, reader.left);
    std::memcpy(buffer, reader.data, count);
    reader.data += count;
    reader.left -= count;
    return static_cast<ssize_t>(count);
}

void CheckJob(const JobAttributes& attributes)
{
    const SpoolerJob job = ToSpoolerJob(attributes);
    FUZZ_CHECK(job.id == attributes.id);
    FUZZ_CHECK(job.status != job_status::kUserIntervention);
    if (!IsTerminalState(attributes.state.value_or(ipp_job_state::kPending)))
        FUZZ_CHECK(job.totalPages >= job.pagesPrinted);
    if (attributes.printerUri)
        if (const auto queue = QueueNameFromUri(*attributes.printerUri))
            FUZZ_CHECK(PlausibleQueueName(*queue));

    // An event's attributes merged over the job's take their place.
    JobAttributes merged;
    merged.MergeFrom(attributes);
    FUZZ_CHECK(ToSpoolerJob(merged) == job);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Submission times in local time, the same on every machine.
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    IppPtr message(ippNew());
    Reader reader{data, size};
    // A reply cut short still holds the attributes read so far.
    ippReadIO(&reader, &ReadBytes, 1, nullptr, message.get());

    for (const JobAttributes& job : ReadJobs(message.get())) {
        FUZZ_CHECK(job.id != 0);
        CheckJob(job);
    }
    CheckJob(ReadJob(message.get()));
    ReadSubscriptionId(message.get());

    const Notifications notifications = ReadNotifications(message.get());
    FUZZ_CHECK(std::is_sorted(notifications.events.begin(), notifications.events.end(),
                              [](const JobEvent& a, const JobEvent& b) { return a.sequence < b.sequence; }));
    for (const JobEvent& event : notifications.events)
        CheckJob(event.job);
    return 0;
}
