#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace ostrel {

// The name of the user this process acts as (its effective user), or the
// empty text when the account database does not know it.
std::string EffectiveUserName();

// This machine's host name; the empty text when it has none.
std::string HostName();

// A new random UUID (version 4) in its usual text form; the empty text when
// the kernel gives no random bytes.
std::string RandomUuid();

// What this process may do in a folder that Ostrel shares between its
// administrators.
struct FolderAccess {
    bool writable = false;  // files can be created and replaced in it
    std::string group;      // the folder's group, by name (its number when nameless)
};

// The access to `folder`, or to its nearest existing parent when it does not
// exist yet (where it would be created).
FolderAccess AccessToFolder(const std::filesystem::path& folder);

// When this process may not enter `folder` and list it: the group whose
// members may, by name (the folder's own, or that of the nearest parent
// that keeps this process out). Nothing when it may, or when the folder
// does not exist.
std::optional<std::string> GroupThatMayRead(const std::filesystem::path& folder);

}  // namespace ostrel
