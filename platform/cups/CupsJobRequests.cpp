#include "CupsJobRequests.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace ostrel::cups {
namespace {

const char* const kJobAttributes[] = {
    "job-id",
    "job-state",
    "job-state-reasons",
    "job-name",
    "job-originating-user-name",
    "job-printer-state-message",
    "job-printer-uri",
    "job-impressions",
    "job-impressions-completed",
    "time-at-creation",
    "time-at-completed",
};

const char* const kJobEvents[] = {
    "job-created",
    "job-state-changed",  // includes stopped and completed jobs
    "job-completed",
    "job-progress",        // pages counted so far
    "job-config-changed",  // e.g. a renamed job
};

// Calls `use` with the attributes of each `tag` group of the message, in
// order; a message holds several job or event groups one after another.
template <class Use>
void ForEachGroup(ipp_t* message, ipp_tag_t tag, Use&& use)
{
    std::vector<ipp_attribute_t*> group;
    for (ipp_attribute_t* attr = ippFirstAttribute(message); attr; attr = ippNextAttribute(message)) {
        if (ippGetGroupTag(attr) == tag && ippGetName(attr)) {
            group.push_back(attr);
            continue;
        }
        if (!group.empty())
            use(group);
        group.clear();
    }
    if (!group.empty())
        use(group);
}

std::optional<std::uint32_t> Count(ipp_attribute_t* attr)
{
    const std::int64_t value = IppNumber(attr);
    if (value < 0)
        return std::nullopt;
    return static_cast<std::uint32_t>(std::min<std::int64_t>(value, std::numeric_limits<std::uint32_t>::max()));
}

bool Named(ipp_attribute_t* attr, const char* name)
{
    return std::strcmp(ippGetName(attr), name) == 0;
}

// Reads the job attributes it knows and leaves the rest to `other`.
template <class Other>
JobAttributes ReadJobGroup(const std::vector<ipp_attribute_t*>& group, Other&& other)
{
    JobAttributes job;
    for (ipp_attribute_t* attr : group) {
        if (Named(attr, "job-id") || Named(attr, "notify-job-id")) {
            job.id = Count(attr).value_or(0);
        } else if (Named(attr, "job-state")) {
            job.state = static_cast<int>(IppNumber(attr));
        } else if (Named(attr, "job-state-reasons")) {
            std::vector<std::string> reasons;
            for (int i = 0, n = ippGetCount(attr); i < n; ++i)
                if (const char* reason = ippGetString(attr, i, nullptr))
                    reasons.emplace_back(reason);
            job.reasons = std::move(reasons);
        } else if (Named(attr, "job-name")) {
            job.name = IppText(attr);
        } else if (Named(attr, "job-originating-user-name")) {
            job.user = IppText(attr);
        } else if (Named(attr, "job-printer-state-message")) {
            job.printerMessage = IppText(attr);
        } else if (Named(attr, "job-printer-uri")) {
            job.printerUri = IppText(attr);
        } else if (Named(attr, "job-impressions")) {
            job.impressions = Count(attr);
        } else if (Named(attr, "job-impressions-completed")) {
            job.impressionsCompleted = Count(attr);
        } else if (Named(attr, "time-at-creation")) {
            if (ippGetValueTag(attr) == IPP_TAG_INTEGER)
                job.createdAt = IppNumber(attr);
        } else if (Named(attr, "time-at-completed")) {
            if (ippGetValueTag(attr) == IPP_TAG_INTEGER)
                job.completedAt = IppNumber(attr);
        } else {
            other(attr);
        }
    }
    return job;
}

void AddRequestedJobAttributes(ipp_t* request)
{
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(std::size(kJobAttributes)), nullptr, kJobAttributes);
}

}  // namespace

IppReply GetJobs(CupsConnection& connection, const std::string& queueUri, const char* which)
{
    IppPtr request = connection.NewRequest(IPP_OP_GET_JOBS, queueUri);
    if (!request)
        return {nullptr, IPP_STATUS_ERROR_INTERNAL};
    ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, which);
    AddRequestedJobAttributes(request.get());
    return connection.Send(std::move(request));
}

std::vector<JobAttributes> ReadJobs(ipp_t* response)
{
    std::vector<JobAttributes> jobs;
    if (!response)
        return jobs;
    ForEachGroup(response, IPP_TAG_JOB, [&](const std::vector<ipp_attribute_t*>& group) {
        JobAttributes job = ReadJobGroup(group, [](ipp_attribute_t*) {});
        if (job.id)
            jobs.push_back(std::move(job));
    });
    return jobs;
}

IppReply GetJob(CupsConnection& connection, std::uint32_t jobId)
{
    IppPtr request = connection.NewJobRequest(IPP_OP_GET_JOB_ATTRIBUTES, jobId);
    if (!request)
        return {nullptr, IPP_STATUS_ERROR_INTERNAL};
    AddRequestedJobAttributes(request.get());
    return connection.Send(std::move(request));
}

JobAttributes ReadJob(ipp_t* response)
{
    std::vector<JobAttributes> jobs = ReadJobs(response);
    return jobs.empty() ? JobAttributes{} : std::move(jobs.front());
}

IppReply Subscribe(CupsConnection& connection, int leaseSeconds)
{
    IppPtr request = connection.NewRequest(IPP_OP_CREATE_PRINTER_SUBSCRIPTIONS, connection.ServerUri());
    if (!request)
        return {nullptr, IPP_STATUS_ERROR_INTERNAL};
    ippAddString(request.get(), IPP_TAG_SUBSCRIPTION, IPP_TAG_KEYWORD, "notify-pull-method", nullptr, "ippget");
    ippAddStrings(request.get(), IPP_TAG_SUBSCRIPTION, IPP_TAG_KEYWORD, "notify-events",
                  static_cast<int>(std::size(kJobEvents)), nullptr, kJobEvents);
    ippAddInteger(request.get(), IPP_TAG_SUBSCRIPTION, IPP_TAG_INTEGER, "notify-lease-duration", leaseSeconds);
    return connection.Send(std::move(request));
}

int ReadSubscriptionId(ipp_t* response)
{
    if (!response)
        return 0;
    ipp_attribute_t* id = ippFindAttribute(response, "notify-subscription-id", IPP_TAG_INTEGER);
    return id ? ippGetInteger(id, 0) : 0;
}

IppReply Renew(CupsConnection& connection, int subscriptionId, int leaseSeconds)
{
    IppPtr request = connection.NewRequest(IPP_OP_RENEW_SUBSCRIPTION, connection.ServerUri());
    if (!request)
        return {nullptr, IPP_STATUS_ERROR_INTERNAL};
    ippAddInteger(request.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-id", subscriptionId);
    ippAddInteger(request.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-lease-duration", leaseSeconds);
    return connection.Send(std::move(request));
}

IppReply Unsubscribe(CupsConnection& connection, int subscriptionId)
{
    IppPtr request = connection.NewRequest(IPP_OP_CANCEL_SUBSCRIPTION, connection.ServerUri());
    if (!request)
        return {nullptr, IPP_STATUS_ERROR_INTERNAL};
    ippAddInteger(request.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-id", subscriptionId);
    return connection.Send(std::move(request));
}

IppReply GetNotifications(CupsConnection& connection, int subscriptionId, int firstSequence)
{
    IppPtr request = connection.NewRequest(IPP_OP_GET_NOTIFICATIONS, connection.ServerUri());
    if (!request)
        return {nullptr, IPP_STATUS_ERROR_INTERNAL};
    ippAddInteger(request.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-ids", subscriptionId);
    ippAddInteger(request.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-sequence-numbers", firstSequence);
    return connection.Send(std::move(request));
}

Notifications ReadNotifications(ipp_t* response)
{
    Notifications notifications;
    if (!response)
        return notifications;
    if (ipp_attribute_t* upTime = ippFindAttribute(response, "printer-up-time", IPP_TAG_INTEGER))
        notifications.serverTime = ippGetInteger(upTime, 0);
    ForEachGroup(response, IPP_TAG_EVENT_NOTIFICATION, [&](const std::vector<ipp_attribute_t*>& group) {
        JobEvent event;
        event.job = ReadJobGroup(group, [&](ipp_attribute_t* attr) {
            if (Named(attr, "notify-sequence-number"))
                event.sequence = static_cast<int>(IppNumber(attr));
            else if (Named(attr, "notify-subscribed-event"))
                event.event = IppText(attr);
            else if (Named(attr, "printer-name"))
                event.printer = IppText(attr);
        });
        notifications.events.push_back(std::move(event));
    });
    std::stable_sort(notifications.events.begin(), notifications.events.end(),
                     [](const JobEvent& a, const JobEvent& b) { return a.sequence < b.sequence; });
    return notifications;
}

}  // namespace ostrel::cups
