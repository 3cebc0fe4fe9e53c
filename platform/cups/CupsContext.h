#pragma once

#include "CupsConnection.h"
#include "NotificationPump.h"

namespace ostrel::cups {

// What the spooler, its printers and their notifications share, kept alive
// by whichever of them lives longest.
struct CupsContext {
    CupsContext(const CupsEndpoint& endpoint, PumpOptions options) : requests(endpoint), pump(endpoint, options) {}

    // For everything but the events: opening printers, queue listings.
    CupsConnection requests;
    NotificationPump pump;
};

}  // namespace ostrel::cups
