#include "MailChecks.h"

#include <algorithm>
#include <cctype>

namespace ostrel {
namespace {

bool IsAddressCharacter(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte > ' ' && byte != 0x7F && c != '<' && c != '>' && c != '"' && c != ',' && c != ';' && c != '(' &&
           c != ')' && c != '\\';
}

std::string Quoted(std::string_view text)
{
    return "\"" + Printable(text) + "\"";
}

}  // namespace

std::string Printable(std::string_view text)
{
    std::string printable;
    for (const char c : text)
        printable += static_cast<unsigned char>(c) < ' ' || c == 0x7F ? '?' : c;
    return printable;
}

bool IsMailAddress(std::string_view address)
{
    const std::size_t at = address.rfind('@');
    return at != std::string_view::npos && at > 0 && at + 1 < address.size() &&
           std::all_of(address.begin(), address.end(), IsAddressCharacter);
}

bool IsHostName(std::string_view host)
{
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        return std::all_of(host.begin() + 1, host.end() - 1,
                           [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.'; });
    return !host.empty() && host.size() <= 253 && host.front() != '-' && host.front() != '.' &&
           std::all_of(host.begin(), host.end(), [](char c) {
               return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
           });
}

std::optional<std::string> ProblemWithMailSettings(const MailSettings& settings)
{
    if (settings.recipient.empty())
        return "no recipient address is set (EEmailAddress)";
    if (!IsMailAddress(settings.recipient))
        return "the recipient address " + Quoted(settings.recipient) + " is not an e-mail address (EEmailAddress)";
    if (settings.senderAddress.empty())
        return "no sender address is set (ESMTPEmailAddress)";
    if (!IsMailAddress(settings.senderAddress))
        return "the sender address " + Quoted(settings.senderAddress) + " is not an e-mail address (ESMTPEmailAddress)";
    if (settings.server.empty())
        return "no mail server is set (ESMTPSRV)";
    if (!IsHostName(settings.server))
        return "the mail server " + Quoted(settings.server) + " is not a host name (ESMTPSRV)";
    if (settings.port == 0)
        return "the mail server port is 0 (ESMTPPORT)";
    if (settings.port > 65535)
        return "the mail server port " + std::to_string(static_cast<std::int32_t>(settings.port)) +
               " is not a TCP port (ESMTPPORT)";
    if (NamesNtlm(settings.authMethod))
        return std::string(
            "the authentication method NTLM is not supported; choose None, AUTH LOGIN, AUTH PLAIN "
            "or CRAM MD5 (ESMTPAUTH)");
    const std::optional<AuthMethod> method = ParseAuthMethod(settings.authMethod);
    if (!method)
        return "the authentication method " + Quoted(settings.authMethod) +
               " is unknown; choose None, AUTH LOGIN, AUTH PLAIN or CRAM MD5 (ESMTPAUTH)";
    if (*method != AuthMethod::None && settings.userName.empty())
        return "the authentication method " + Printable(settings.authMethod) +
               " needs a user name at the mail server (ESMTPEmailAddress4Server)";
    return std::nullopt;
}

}  // namespace ostrel
