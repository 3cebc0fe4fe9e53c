#pragma once

#include "RegistryHive.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// The mail settings as the console's e-mail dialog stores them and the
// mailer reads them, the seven texts taken out of their shifted form. The
// one place that knows the values' names, their shifted form and the port.
struct MailSettings {
    std::string recipient;      // EEmailAddress
    std::string senderName;     // ESMTPName
    std::string senderAddress;  // ESMTPEmailAddress
    std::string userName;       // ESMTPEmailAddress4Server
    std::string password;       // ESMTPPass4MailServer
    std::string authMethod;     // ESMTPAUTH, as typed
    std::string server;         // ESMTPSRV
    std::uint32_t port = 0;     // ESMTPPORT

    bool operator==(const MailSettings&) const = default;
};

// Reads the settings from the store; a missing value reads as empty or 0.
MailSettings LoadMailSettings(RegistryHive& registry = LocalMachineHive());

// Stores the settings in the dialog's order, each text shifted, each value
// with a fresh value object's set: a value is written only where the store
// holds something else, so a value that was absent and is left empty stays
// absent.
void StoreMailSettings(const MailSettings& settings, RegistryHive& registry = LocalMachineHive());

// What the e-mail dialog says of a recipient it refuses to store ("The
// Email Address is Empty", "Invalid Email Address"), or nothing.
std::optional<std::string> RecipientProblem(std::string_view recipient);

// The e-mail dialog's store, for the console and ostrel-admin alike: the
// settings (StoreMailSettings), then the daily report switched on.
void SaveMailSettings(const MailSettings& settings, RegistryHive& registry = LocalMachineHive());

// The settings page's switch of the daily report: EmailLog = 1 or 0,
// written even when it holds that already.
void SwitchEmailReport(bool on, RegistryHive& registry = LocalMachineHive());

// The hand-over of the test message: ESentFile names the test file,
// <appFolder>/Logs/TestEmail.xml, for the mailer started next. Nothing is
// named, and false returned, when there is no such file.
bool NameTestMessage(const std::string& appFolder, RegistryHive& registry = LocalMachineHive());

// The message when the test file is missing.
inline constexpr std::string_view kNoTestFileMessage = "Cannot find the test file to send!";

// The authentication texts the dialog offers, in the order it adds them.
inline constexpr std::array<std::string_view, 5> kAuthMethodNames = {"None", "CRAM MD5", "AUTH LOGIN", "AUTH PLAIN",
                                                                     "NTLM"};

enum class AuthMethod {
    None,
    Login,
    Plain,
    CramMd5,
};

// The method an ESMTPAUTH text names: "None" or nothing, "AUTH LOGIN",
// "AUTH PLAIN", "CRAM MD5" (case and the "AUTH " and "-" spellings aside).
// Nothing for "NTLM" and for texts that name no method.
std::optional<AuthMethod> ParseAuthMethod(std::string_view text);

// Whether an ESMTPAUTH text names NTLM, which the dialog offers and the
// mailer does not speak.
bool NamesNtlm(std::string_view text);

}  // namespace ostrel
