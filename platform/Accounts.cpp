#include "Accounts.h"

#include <grp.h>
#include <pwd.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace ostrel {

std::string HostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

std::string RandomUuid()
{
    unsigned char bytes[16];
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes))
        return {};
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // the RFC 4122 variant
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text += '-';
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 0x0F];
    }
    return text;
}

namespace {

// The buffer size the account functions ask for, with a sane fallback.
std::vector<char> AccountBuffer(int name)
{
    const long size = ::sysconf(name);
    return std::vector<char>(size > 0 ? static_cast<size_t>(size) : 16384);
}

std::string GroupName(gid_t gid)
{
    std::vector<char> buffer = AccountBuffer(_SC_GETGR_R_SIZE_MAX);
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return found->gr_name;
    return std::to_string(gid);
}

}  // namespace

std::string EffectiveUserName()
{
    std::vector<char> buffer = AccountBuffer(_SC_GETPW_R_SIZE_MAX);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return found->pw_name;
    return {};
}

FolderAccess AccessToFolder(const std::filesystem::path& folder)
{
    std::filesystem::path existing = folder;
    struct stat info {};
    while (::stat(existing.c_str(), &info) != 0) {
        if (!existing.has_parent_path() || existing.parent_path() == existing)
            return {};
        existing = existing.parent_path();
    }
    return {::access(existing.c_str(), W_OK | X_OK) == 0, GroupName(info.st_gid)};
}

std::optional<std::string> GroupThatMayRead(const std::filesystem::path& folder)
{
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0)
        return ::access(folder.c_str(), R_OK | X_OK) == 0 ? std::nullopt : std::optional(GroupName(info.st_gid));
    if (errno != EACCES)
        return std::nullopt;
    // A parent on the way keeps this process out: the nearest one it can see.
    for (std::filesystem::path parent = folder.parent_path(); parent.has_relative_path();
         parent = parent.parent_path()) {
        if (::stat(parent.c_str(), &info) == 0 && ::access(parent.c_str(), X_OK) != 0)
            return GroupName(info.st_gid);
    }
    return std::nullopt;
}

}  // namespace ostrel
