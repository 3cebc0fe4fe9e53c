#include "CupsDocuments.h"

#include "CupsJobFields.h"

#include <algorithm>

namespace ostrel::cups {
namespace {

// CUPS keeps a job's documents as separate files; beyond a few, they are
// all counted within the same byte budget anyway.
constexpr int kMostDocuments = 64;

std::uint32_t Positive(ipp_attribute_t* attr, std::uint32_t otherwise)
{
    const std::int64_t value = IppNumber(attr);
    return value > 0 ? static_cast<std::uint32_t>(std::min<std::int64_t>(value, 0x7fffffff)) : otherwise;
}

}  // namespace

std::optional<bool> IsRawQueue(CupsConnection& connection, const std::string& queueUri)
{
    IppPtr request = connection.NewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, queueUri);
    if (!request)
        return std::nullopt;
    static const char* const kWanted[] = {"printer-make-and-model", "printer-type"};
    ippAddStrings(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(std::size(kWanted)), nullptr, kWanted);
    IppReply reply = connection.Send(std::move(request));
    if (!reply.Ok())
        return std::nullopt;
    // The scheduler's own name for a queue without a driver.
    return IppText(ippFindAttribute(reply.response.get(), "printer-make-and-model", IPP_TAG_ZERO)) ==
           "Local Raw Printer";
}

std::optional<std::uint32_t> ImpressionsFromDocuments(CupsConnection& connection, std::uint32_t jobId, bool rawQueue,
                                                      const pages::CountLimits& limits)
{
    IppPtr request = connection.NewJobRequest(IPP_OP_GET_JOB_ATTRIBUTES, jobId);
    if (!request)
        return std::nullopt;
    static const char* const kWanted[] = {"job-state", "copies", "number-up", "number-of-documents"};
    ippAddStrings(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(std::size(kWanted)), nullptr, kWanted);
    IppReply job = connection.Send(std::move(request));
    if (!job.Ok())
        return std::nullopt;
    ipp_t* attributes = job.response.get();
    if (IppNumber(ippFindAttribute(attributes, "job-state", IPP_TAG_ENUM)) != ipp_job_state::kCompleted)
        return std::nullopt;
    const std::uint32_t copies = Positive(ippFindAttribute(attributes, "copies", IPP_TAG_INTEGER), 1);
    const std::uint32_t numberUp =
        rawQueue ? 1 : Positive(ippFindAttribute(attributes, "number-up", IPP_TAG_INTEGER), 1);
    const int documents = static_cast<int>(std::min<std::uint32_t>(
        Positive(ippFindAttribute(attributes, "number-of-documents", IPP_TAG_INTEGER), 1), kMostDocuments));

    std::size_t budget = limits.maxBytes;
    std::uint64_t pages = 0;
    bool fetched = false;
    for (int number = 1; number <= documents && budget > 0; ++number) {
        IppPtr get = connection.NewJobRequest(IPP_OP_CUPS_GET_DOCUMENT, jobId);
        if (!get)
            break;
        ippAddInteger(get.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "document-number", number);
        DocumentReply document = connection.FetchDocument(std::move(get), budget);
        if (!document.Ok())
            break;
        fetched = true;
        budget -= std::min(budget, document.bytes.size());
        pages += pages::CountPages(document.bytes, limits);
    }
    if (!fetched)
        return std::nullopt;
    return pages::Impressions(static_cast<std::uint32_t>(std::min<std::uint64_t>(pages, limits.maxPages)), copies,
                              numberUp);
}

}  // namespace ostrel::cups
