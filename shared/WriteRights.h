#pragma once

#include <optional>
#include <string>

namespace ostrel {

// Why this user's changes cannot reach the registry store and the
// application folder, or nothing when they can. Writes without the rights
// fail quietly; the console and ostrel-admin tell the user with this text
// before a change, so that a switch that changes nothing is no mystery.
std::optional<std::string> WhyChangesCannotBeSaved(const std::string& appFolder);

}  // namespace ostrel
