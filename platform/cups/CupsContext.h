#pragma once

#include "CupsConnection.h"
#include "NotificationPump.h"

namespace ostrel::cups {

// What the spooler, its printers and their notifications share, kept alive
// by whichever of them lives longest.
struct CupsContext {
    CupsContext(const CupsEndpoint& endpoint, PumpOptions options) : requests(endpoint), pump(endpoint, options, requests)
    {
    }

    // For everything but the pump's polling: opening printers, queue
    // listings, and what Watch asks.
    CupsConnection requests;
    NotificationPump pump;
};

}  // namespace ostrel::cups
