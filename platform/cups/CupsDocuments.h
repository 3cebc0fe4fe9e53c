#pragma once

#include "CupsConnection.h"
#include "PageCount.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ostrel::cups {

// Whether the queue at `queueUri` is raw: no filters, so nothing lays out
// several pages on a side. Nothing when the scheduler does not say.
std::optional<bool> IsRawQueue(CupsConnection& connection, const std::string& queueUri);

// The impressions of a completed job counted from its documents, fetched
// with CUPS-Get-Document: their pages times `copies`, `number-up` pages to
// a side unless the queue is raw. At most limits.maxBytes are read of the
// job's documents together. Nothing when the job did not complete (a
// cancelled or aborted job printed what CUPS says, if anything) or no
// document could be had: refused, or no longer kept by the scheduler.
std::optional<std::uint32_t> ImpressionsFromDocuments(CupsConnection& connection, std::uint32_t jobId, bool rawQueue,
                                                      const pages::CountLimits& limits);

}  // namespace ostrel::cups
