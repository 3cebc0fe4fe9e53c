#pragma once

#include "MailSettings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// What the mailer checks of the settings before it uses them.

// Whether `address` can go into an envelope and a header as it is: one
// "@", no blanks, controls or characters that would end the address.
bool IsMailAddress(std::string_view address);

// Whether `host` is a host name or an IP address and nothing more.
bool IsHostName(std::string_view host);

// A text as the log shows it, with control characters made visible as '?',
// so that no setting or file name can forge a log line of its own.
std::string Printable(std::string_view text);

// What keeps the settings from being used, in words for the system log
// (never the password), or nothing when they can be used.
std::optional<std::string> ProblemWithMailSettings(const MailSettings& settings);

}  // namespace ostrel
