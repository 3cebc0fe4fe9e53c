#pragma once

#include "RegistryHive.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

enum class AuthMethod {
    None,
    Login,
    Plain,
    CramMd5,
};

// The mail settings as the console's e-mail dialog stores them, the seven
// texts already taken out of their shifted form.
struct MailSettings {
    std::string recipient;      // EEmailAddress
    std::string senderName;     // ESMTPName
    std::string senderAddress;  // ESMTPEmailAddress
    std::string userName;       // ESMTPEmailAddress4Server
    std::string password;       // ESMTPPass4MailServer
    std::string authMethod;     // ESMTPAUTH, as typed
    std::string server;         // ESMTPSRV
    std::uint32_t port = 0;     // ESMTPPORT
};

// Reads the settings from the store; a missing value reads as empty or 0.
MailSettings LoadMailSettings(RegistryHive& registry);

// The method an ESMTPAUTH text names: "None" or nothing, "AUTH LOGIN",
// "AUTH PLAIN", "CRAM MD5" (case and the "AUTH " and "-" spellings aside).
// Nothing for "NTLM" and for texts that name no method.
std::optional<AuthMethod> ParseAuthMethod(std::string_view text);

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
