#include "Accounts.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace ostrel {

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
    struct stat info{};
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
