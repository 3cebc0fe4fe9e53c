#pragma once

#include "CupsConnection.h"
#include "CupsJobFields.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ostrel::cups {

// One job event of a subscription.
struct JobEvent {
    int sequence = 0;
    std::string event;    // notify-subscribed-event, e.g. "job-completed"
    std::string printer;  // printer-name: where the job is, or is printing
    JobAttributes job;    // what the event carries: state, reasons, name, pages
};

struct Notifications {
    std::vector<JobEvent> events;  // ascending sequence numbers
    std::int64_t serverTime = 0;   // printer-up-time of the reply: the scheduler's clock
};

// The jobs of a queue (which: "not-completed", "completed", "all").
IppReply GetJobs(CupsConnection& connection, const std::string& queueUri, const char* which);
std::vector<JobAttributes> ReadJobs(ipp_t* response);

IppReply GetJob(CupsConnection& connection, std::uint32_t jobId);
// The job of a Get-Job-Attributes reply; id 0 when there is none.
JobAttributes ReadJob(ipp_t* response);

// A server-wide ippget subscription to every job event, leased for
// `leaseSeconds`.
IppReply Subscribe(CupsConnection& connection, int leaseSeconds);
int ReadSubscriptionId(ipp_t* response);
IppReply Renew(CupsConnection& connection, int subscriptionId, int leaseSeconds);
IppReply Unsubscribe(CupsConnection& connection, int subscriptionId);

// The events from `firstSequence` on that the scheduler still keeps.
IppReply GetNotifications(CupsConnection& connection, int subscriptionId, int firstSequence);
Notifications ReadNotifications(ipp_t* response);

}  // namespace ostrel::cups
