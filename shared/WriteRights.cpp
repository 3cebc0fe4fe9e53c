#include "WriteRights.h"

#include "Accounts.h"
#include "RegistryHive.h"

#include <filesystem>

namespace ostrel {

std::optional<std::string> WhyChangesCannotBeSaved(const std::string& appFolder)
{
    // An empty application folder puts the documents at the root.
    const std::filesystem::path documents =
        appFolder.empty() ? std::filesystem::path("/") : std::filesystem::path(appFolder);
    for (const std::filesystem::path& folder :
         {RegistryRoot() / "HKEY_LOCAL_MACHINE" / "Software" / "Ostrel", documents}) {
        const FolderAccess access = AccessToFolder(folder);
        if (access.writable)
            continue;
        const std::string user = EffectiveUserName();
        return "Your changes cannot be saved: " + user + " may not write to " + folder.string() +
               ", where Ostrel keeps its settings. Ask an administrator to add " + user + " to the group " +
               access.group + ", then log in again.";
    }
    return std::nullopt;
}

}  // namespace ostrel
