#include "RegistryHive.h"

#include "Files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <system_error>
#include <utility>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

constexpr std::array<std::pair<RegType, std::string_view>, 9> kTypeNames{{
    {RegType::None, "REG_NONE"},
    {RegType::Sz, "REG_SZ"},
    {RegType::ExpandSz, "REG_EXPAND_SZ"},
    {RegType::Binary, "REG_BINARY"},
    {RegType::Dword, "REG_DWORD"},
    {RegType::DwordBigEndian, "REG_DWORD_BIG_ENDIAN"},
    {RegType::Link, "REG_LINK"},
    {RegType::MultiSz, "REG_MULTI_SZ"},
    {RegType::Qword, "REG_QWORD"},
}};

// Mail credentials are readable by the administrators only.
bool IsPrivateValue(std::string_view name)
{
    return name.starts_with("ESMTP") || name == "EEmailAddress";
}

std::string Serialize(const RegData& data)
{
    return RegTypeName(data.type) + "\n" + data.bytes;
}

std::optional<RegData> Deserialize(std::string_view stored)
{
    const size_t end = stored.find('\n');
    if (end == std::string_view::npos)
        return std::nullopt;
    auto type = RegTypeFromName(stored.substr(0, end));
    if (!type)
        return std::nullopt;
    return RegData{*type, std::string(stored.substr(end + 1))};
}

}  // namespace

bool IsValidRegistryName(std::string_view name)
{
    return !name.empty() && name.size() <= 255 && name.front() != '.' && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

RegData DwordData(std::uint32_t value)
{
    std::string bytes(4, '\0');
    for (size_t i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFFu);
    return {RegType::Dword, std::move(bytes)};
}

std::optional<std::uint32_t> DwordFromBytes(std::string_view bytes)
{
    if (bytes.size() > 4)
        return std::nullopt;
    std::uint32_t value = 0;
    for (size_t i = 0; i < bytes.size(); ++i)
        value |= std::uint32_t{static_cast<unsigned char>(bytes[i])} << (8 * i);
    return value;
}

std::string RegTypeName(RegType type)
{
    for (const auto& [known, name] : kTypeNames)
        if (known == type)
            return std::string(name);
    return std::to_string(static_cast<std::uint32_t>(type));
}

std::optional<RegType> RegTypeFromName(std::string_view name)
{
    for (const auto& [type, known] : kTypeNames)
        if (known == name)
            return type;
    // Types without a name are stored by number.
    if (name.empty() || name.size() > 10 ||
        !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const unsigned long long number = std::stoull(std::string(name));
    if (number > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<RegType>(number);
}

DirectoryRegistry::DirectoryRegistry(fs::path hiveFolder) : folder_(std::move(hiveFolder)) {}

std::optional<fs::path> DirectoryRegistry::KeyFolder(std::string_view keyPath) const
{
    fs::path folder = folder_;
    while (!keyPath.empty()) {
        const size_t end = keyPath.find('\\');
        const std::string_view key = keyPath.substr(0, end);
        if (!key.empty()) {
            if (!IsValidRegistryName(key))
                return std::nullopt;
            folder /= key;
        }
        keyPath = end == std::string_view::npos ? std::string_view() : keyPath.substr(end + 1);
    }
    return folder;
}

std::optional<RegData> DirectoryRegistry::Query(std::string_view keyPath, std::string_view name) const
{
    auto folder = KeyFolder(keyPath);
    if (!folder || !IsValidRegistryName(name))
        return std::nullopt;
    auto stored = ReadFileBytes(*folder / name);
    if (!stored)
        return std::nullopt;
    return Deserialize(*stored);
}

bool DirectoryRegistry::Set(std::string_view keyPath, std::string_view name, const RegData& data)
{
    auto folder = KeyFolder(keyPath);
    if (!folder || !IsValidRegistryName(name))
        return false;
    std::error_code error;
    fs::create_directories(*folder, error);
    if (error)
        return false;
    return ReplaceFile(*folder / name, Serialize(data), IsPrivateValue(name) ? 0660 : 0664);
}

bool DirectoryRegistry::Remove(std::string_view keyPath, std::string_view name)
{
    auto folder = KeyFolder(keyPath);
    if (!folder || !IsValidRegistryName(name))
        return false;
    return ::unlink((*folder / name).c_str()) == 0;
}

std::optional<std::vector<RegEntry>> DirectoryRegistry::Enumerate(std::string_view keyPath) const
{
    auto folder = KeyFolder(keyPath);
    std::error_code error;
    if (!folder || !fs::is_directory(*folder, error))
        return std::nullopt;
    std::vector<RegEntry> entries;
    for (fs::directory_iterator item(*folder, error), end; !error && item != end; item.increment(error)) {
        const std::string name = item->path().filename().string();
        if (!IsValidRegistryName(name) || !item->is_regular_file(error))
            continue;
        if (auto data = Query(keyPath, name))
            entries.push_back({name, std::move(*data)});
    }
    if (error)
        return std::nullopt;
    std::sort(entries.begin(), entries.end(), [](const RegEntry& a, const RegEntry& b) { return a.name < b.name; });
    return entries;
}

fs::path RegistryRoot()
{
    const char* root = std::getenv("OSTREL_REGISTRY_ROOT");
    return root && *root ? fs::path(root) : fs::path("/var/lib/ostrel/registry");
}

RegistryHive& LocalMachineHive()
{
    static DirectoryRegistry hive(RegistryRoot() / "HKEY_LOCAL_MACHINE");
    return hive;
}

}  // namespace ostrel
