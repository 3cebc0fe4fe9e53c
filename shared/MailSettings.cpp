#include "MailSettings.h"

#include "ApplicationFolder.h"
#include "RegValue.h"
#include "ShiftedText.h"

#include <cctype>

namespace ostrel {
namespace {

std::string Path(const char* name)
{
    return std::string("Software\\Ostrel\\") + name;
}

std::string Unshifted(RegistryHive& registry, const char* name)
{
    return UnshiftText(RegValueString(Path(name), "", false, registry).Get());
}

void StoreShifted(RegistryHive& registry, const char* name, const std::string& plain)
{
    RegValueString(Path(name), "", false, registry).Set(ShiftText(plain));
}

std::string Normalised(std::string_view text)
{
    std::string result;
    for (const char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)) && c != '-' && c != '_')
            result += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (result.starts_with("AUTH") && result.size() > 4)
        result.erase(0, 4);
    return result;
}

}  // namespace

MailSettings LoadMailSettings(RegistryHive& registry)
{
    MailSettings settings;
    settings.recipient = Unshifted(registry, "EEmailAddress");
    settings.senderName = Unshifted(registry, "ESMTPName");
    settings.senderAddress = Unshifted(registry, "ESMTPEmailAddress");
    settings.userName = Unshifted(registry, "ESMTPEmailAddress4Server");
    settings.password = Unshifted(registry, "ESMTPPass4MailServer");
    settings.authMethod = Unshifted(registry, "ESMTPAUTH");
    settings.server = Unshifted(registry, "ESMTPSRV");
    settings.port = RegValueDword(Path("ESMTPPORT"), 0, false, registry).Get();
    return settings;
}

void StoreMailSettings(const MailSettings& settings, RegistryHive& registry)
{
    StoreShifted(registry, "EEmailAddress", settings.recipient);
    StoreShifted(registry, "ESMTPName", settings.senderName);
    StoreShifted(registry, "ESMTPEmailAddress", settings.senderAddress);
    StoreShifted(registry, "ESMTPEmailAddress4Server", settings.userName);
    StoreShifted(registry, "ESMTPPass4MailServer", settings.password);
    StoreShifted(registry, "ESMTPAUTH", settings.authMethod);
    StoreShifted(registry, "ESMTPSRV", settings.server);
    RegValueDword(Path("ESMTPPORT"), 0, false, registry).Set(settings.port);
}

std::optional<std::string> RecipientProblem(std::string_view recipient)
{
    if (recipient.empty())
        return "The Email Address is Empty";
    if (recipient.find('@') == std::string_view::npos)
        return "Invalid Email Address";
    return std::nullopt;
}

void SaveMailSettings(const MailSettings& settings, RegistryHive& registry)
{
    StoreMailSettings(settings, registry);
    // Twice, as the dialog and the settings page's switch each do it.
    SwitchEmailReport(true, registry);
    SwitchEmailReport(true, registry);
}

void SwitchEmailReport(bool on, RegistryHive& registry)
{
    RegValueDword emailLog(Path("EmailLog"), 0, false, registry);
    emailLog.Set(on ? 1 : 0);
    emailLog.Write();
}

bool NameTestMessage(const std::string& appFolder, RegistryHive& registry)
{
    const std::filesystem::path testFile = InApplicationFolder(appFolder, "Logs/TestEmail.xml");
    std::error_code error;
    if (!std::filesystem::is_regular_file(testFile, error))
        return false;
    RegValueString sentFile(Path("ESentFile"), "", false, registry);
    sentFile.Set(testFile.string());
    sentFile.Write();
    return true;
}

std::optional<AuthMethod> ParseAuthMethod(std::string_view text)
{
    const std::string method = Normalised(text);
    if (method.empty() || method == "NONE")
        return AuthMethod::None;
    if (method == "LOGIN")
        return AuthMethod::Login;
    if (method == "PLAIN")
        return AuthMethod::Plain;
    if (method == "CRAMMD5")
        return AuthMethod::CramMd5;
    return std::nullopt;
}

bool NamesNtlm(std::string_view text)
{
    return Normalised(text) == "NTLM";
}

}  // namespace ostrel
