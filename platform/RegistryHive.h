#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// Registry value types, numbered as the Windows registry numbers them.
enum class RegType : std::uint32_t {
    None = 0,
    Sz = 1,
    ExpandSz = 2,
    Binary = 3,
    Dword = 4,
    DwordBigEndian = 5,
    Link = 6,
    MultiSz = 7,
    Qword = 11,
};

// "REG_SZ", "REG_DWORD", ...; the number for a type without a name.
std::string RegTypeName(RegType type);
std::optional<RegType> RegTypeFromName(std::string_view name);

// One stored value: its type and its exact bytes. A REG_SZ holds its text
// followed by a terminating zero byte; a REG_DWORD holds four little-endian bytes.
struct RegData {
    RegType type = RegType::None;
    std::string bytes;

    bool operator==(const RegData&) const = default;
};

// The one codec of a REG_DWORD's bytes: four little-endian bytes for
// `value`, and the number in up to four such bytes (nothing for more).
RegData DwordData(std::uint32_t value);
std::optional<std::uint32_t> DwordFromBytes(std::string_view bytes);

struct RegEntry {
    std::string name;
    RegData data;
};

// Whether a key or value name can be stored: one file name (at most 255
// bytes, no '/' or zero byte) that does not start with '.', so that it never
// climbs out of the store nor hides among the temporary files of a write.
bool IsValidRegistryName(std::string_view name);

// One registry root (a hive). Key paths are relative to the hive, with
// backslashes between the keys ("Software\Ostrel"); empty components are
// ignored. Every operation is safe to call from any thread and any process:
// a single-value write is atomic, so a reader never sees half a value.
// Failures are plain results, never exceptions.
class RegistryHive {
public:
    virtual ~RegistryHive() = default;

    // The value, or nothing when the key or the value is missing or unreadable.
    virtual std::optional<RegData> Query(std::string_view keyPath, std::string_view name) const = 0;

    // Stores a value, creating missing keys on the way. False when it could not.
    virtual bool Set(std::string_view keyPath, std::string_view name, const RegData& data) = 0;

    // Removes a value. False when it was missing or could not be removed.
    virtual bool Remove(std::string_view keyPath, std::string_view name) = 0;

    // Every value of a key, sorted by name; nothing when the key is missing.
    virtual std::optional<std::vector<RegEntry>> Enumerate(std::string_view keyPath) const = 0;
};

// The registry store on disk: one directory per key, one file per value,
// the file holding the type's name on its first line and then the exact
// bytes. Values named for mail credentials are kept from other users.
class DirectoryRegistry final : public RegistryHive {
public:
    explicit DirectoryRegistry(std::filesystem::path hiveFolder);

    std::optional<RegData> Query(std::string_view keyPath, std::string_view name) const override;
    bool Set(std::string_view keyPath, std::string_view name, const RegData& data) override;
    bool Remove(std::string_view keyPath, std::string_view name) override;
    std::optional<std::vector<RegEntry>> Enumerate(std::string_view keyPath) const override;

    const std::filesystem::path& Folder() const { return folder_; }

private:
    std::optional<std::filesystem::path> KeyFolder(std::string_view keyPath) const;

    std::filesystem::path folder_;
};

// HKEY_LOCAL_MACHINE of the registry store under $OSTREL_REGISTRY_ROOT
// (default /var/lib/ostrel/registry), read once at first use.
RegistryHive& LocalMachineHive();

// The registry store's root folder as the environment gives it.
std::filesystem::path RegistryRoot();

}  // namespace ostrel
