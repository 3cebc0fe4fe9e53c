#pragma once

#include "CupsConnection.h"
#include "NotificationPump.h"
#include "PageCount.h"

namespace ostrel::cups {

// What the spooler, its printers and their notifications share, kept alive
// by whichever of them lives longest.
struct CupsContext {
    CupsContext(const CupsEndpoint& endpoint, PumpOptions options, pages::CountLimits limits = {})
        : requests(endpoint), pump(endpoint, options, requests), documentLimits(limits)
    {
    }

    // For everything but the pump's polling: opening printers, queue
    // listings, and what Watch asks.
    CupsConnection requests;
    NotificationPump pump;
    // What counting one job's documents may read.
    const pages::CountLimits documentLimits;
};

}  // namespace ostrel::cups
