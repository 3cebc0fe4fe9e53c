#pragma once

#include "MonitoredList.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace ostrel {

// The console's changes to settings.xml, which ostrel-admin makes through
// the same calls so that both leave the same bytes: each one a locked
// read-modify-write of the document, followed by Reset = 1 so that the
// monitor reloads.
namespace settings_edits {

// The printers page's apply: the rows become the monitored printers (names
// stripped of the five special characters first).
void ApplyPrinters(std::string_view appFolder, const std::vector<MonitoredList::Row>& rows);

// The settings page's apply: the cost of every entry of that name, written
// even when none carries it.
void ApplyCost(std::string_view appFolder, std::string_view name, std::int32_t cost);

// Reset = 1, written even when it holds 1 already.
void RequestReload();

}  // namespace settings_edits

}  // namespace ostrel
