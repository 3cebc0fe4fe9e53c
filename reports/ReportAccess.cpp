#include "ReportAccess.h"

#include "Accounts.h"
#include "ApplicationFolder.h"
#include "RegistryHive.h"

#include <filesystem>
#include <vector>

namespace ostrel {

std::string ReportsDeniedText(std::string_view user, std::string_view group)
{
    const std::string name = user.empty() ? std::string("NAME") : std::string(user);
    return "Reports are for the members of the group " + std::string(group) + ", and " + name +
           " is not one of them. An administrator adds an account to it with: adduser " + name + " " +
           std::string(group) + " (the account then logs in again).";
}

std::optional<std::string> ReportsDenied(std::string_view appFolder)
{
    // The registry store first: where it lies within the application
    // folder, an outsider cannot even learn where the logs are.
    std::vector<std::filesystem::path> folders = {RegistryRoot() / "HKEY_LOCAL_MACHINE" / "Software" / "Ostrel"};
    if (!appFolder.empty()) {
        folders.emplace_back(appFolder);
        folders.push_back(InApplicationFolder(appFolder, "Logs"));
    }
    for (const auto& folder : folders)
        if (const std::optional<std::string> group = GroupThatMayRead(folder))
            return ReportsDeniedText(EffectiveUserName(), *group);
    return std::nullopt;
}

}  // namespace ostrel
