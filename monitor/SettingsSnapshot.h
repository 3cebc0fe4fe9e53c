#pragma once

#include "SafeFolder.h"

#include <sys/stat.h>

#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace ostrel {

// What recording a job needs of settings.xml, the printer's ID and whether
// its user is listed, from a copy of the document that is read again only
// when the file changed (another file in its place, a new change time or
// size), so that a record costs one stat of it, whatever its size, and an
// edit by the console or an administrator is seen by the next record.
// Thread-safe.
class SettingsSnapshot {
public:
    explicit SettingsSnapshot(std::string appFolder);

    // The ID of the last entry named `printer`, as the settings document
    // gives it; and `user` added to the user list when missing, under the
    // document's lock, as every record has always done.
    std::optional<std::string> PrinterIdAddingUser(const std::string& printer, const std::string& user);

private:
    struct Identity {
        dev_t device = 0;
        ino_t inode = 0;
        std::int64_t changedNs = 0;
        off_t size = -1;
        bool operator==(const Identity&) const = default;
    };

    void RefreshLocked();

    std::string appFolder_;
    std::mutex mutex_;
    Safe<SafeFolder> folder_;  // the application folder, opened once
    std::optional<Identity> identity_;
    std::string document_;
    std::unordered_map<std::string, std::optional<std::string>> ids_;
    std::unordered_set<std::string> users_;
};

}  // namespace ostrel
