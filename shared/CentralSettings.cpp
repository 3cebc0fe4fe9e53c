#include "CentralSettings.h"

#include "Accounts.h"
#include "Clock.h"
#include "NumberText.h"
#include "RegValue.h"

#include <charconv>
#include <cstdio>

namespace ostrel {
namespace {

constexpr const char* kCentralDatabase = "Software\\Ostrel\\CentralDatabase";
constexpr const char* kServerId = "Software\\Ostrel\\ServerId";
constexpr const char* kServerName = "Software\\Ostrel\\ServerName";
constexpr const char* kCentralStatus = "Software\\Ostrel\\CentralStatus";

}  // namespace

bool IsUuid(std::string_view text)
{
    if (text.size() != 36)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

CentralSettings ReadCentralSettings(RegistryHive& hive)
{
    CentralSettings settings;
    settings.conninfo = RegValueString(kCentralDatabase, "", false, hive).Get();
    settings.serverId = RegValueString(kServerId, "", false, hive).Get();
    if (!IsUuid(settings.serverId))
        settings.serverId.clear();
    settings.serverName = RegValueString(kServerName, "", false, hive).Get();
    if (settings.serverName.empty())
        settings.serverName = HostName();
    return settings;
}

std::string EnsureServerId(RegistryHive& hive)
{
    RegValueString value(kServerId, "", true, hive);
    if (const std::string stored = value.Get(); IsUuid(stored))
        return stored;
    const std::string made = RandomUuid();
    if (made.empty())
        return {};
    value.Set(made);
    // Read back: without rights the store keeps what it had.
    const std::string stored = value.Get();
    return IsUuid(stored) ? stored : std::string();
}

void WriteCentralStatus(RegistryHive& hive, const CentralStatus& status)
{
    const std::string text =
        status.waiting == 0 ? "0" : std::to_string(status.waiting) + " " + std::to_string(status.since);
    RegValueString(kCentralStatus, "", true, hive).Set(text);
}

std::optional<CentralStatus> ReadCentralStatus(RegistryHive& hive)
{
    const std::string text = RegValueString(kCentralStatus, "", false, hive).Get();
    if (text == "0")
        return CentralStatus{};
    const size_t space = text.find(' ');
    if (space == std::string::npos)
        return std::nullopt;
    const auto waiting = NumberIn<std::uint64_t>(std::string_view(text).substr(0, space));
    const auto since = NumberIn<std::int64_t>(std::string_view(text).substr(space + 1));
    if (!waiting || !since)
        return std::nullopt;
    return CentralStatus{*waiting, *since};
}

std::string CentralStatusLine(RegistryHive& hive)
{
    if (RegValueString(kCentralDatabase, "", false, hive).Get().empty())
        return {};
    const std::optional<CentralStatus> status = ReadCentralStatus(hive);
    if (!status)
        return {};
    if (status->waiting == 0)
        return "Central database: up to date";
    const std::tm local = LocalTime(Clock::TimePoint(std::chrono::seconds(status->since)));
    char time[8];
    std::snprintf(time, sizeof time, "%02d:%02d", local.tm_hour, local.tm_min);
    return "Central database: " + std::to_string(status->waiting) + " records waiting since " + time;
}

}  // namespace ostrel
