#pragma once

#include "RegistryHive.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// Where a server sends its records, and how it is known there: the
// registry values CentralDatabase (a libpq connection string; absent or
// empty: no central store), ServerId (a UUID) and ServerName (else the host
// name).
struct CentralSettings {
    std::string conninfo;
    std::string serverId;  // empty when absent or not a UUID
    std::string serverName;

    bool Configured() const { return !conninfo.empty(); }
};

CentralSettings ReadCentralSettings(RegistryHive& hive);

// The stored ServerId, or a new one made and stored when there is none
// (or what is there is no UUID). Empty when none could be stored.
std::string EnsureServerId(RegistryHive& hive);

bool IsUuid(std::string_view text);

// How far the monitor's forwarding is, as it keeps it in the registry value
// CentralStatus for the console: the records waiting, and since when the
// oldest of them waits (seconds since the epoch).
struct CentralStatus {
    std::uint64_t waiting = 0;
    std::int64_t since = 0;

    bool operator==(const CentralStatus&) const = default;
};

void WriteCentralStatus(RegistryHive& hive, const CentralStatus& status);
std::optional<CentralStatus> ReadCentralStatus(RegistryHive& hive);

// The status page's line: "Central database: up to date", "Central
// database: N records waiting since HH:MM" (local time), or the empty text
// when no central database is configured or the monitor has said nothing.
std::string CentralStatusLine(RegistryHive& hive);

}  // namespace ostrel
