#include "SettingsSnapshot.h"

#include "SafeFolder.h"
#include "SettingsDocument.h"

namespace ostrel {
namespace {

constexpr const char* kDocument = "settings.xml";

}  // namespace

SettingsSnapshot::SettingsSnapshot(std::string appFolder) : appFolder_(std::move(appFolder)) {}

std::optional<std::string> SettingsSnapshot::PrinterIdAddingUser(const std::string& printer, const std::string& user)
{
    std::lock_guard lock(mutex_);
    RefreshLocked();
    if (!users_.contains(user)) {
        if (!settings_text::HasUser(document_, user)) {
            SettingsDocument::InFolder(appFolder_).AddUser(user);
            RefreshLocked();
        }
        users_.insert(user);
    }
    auto id = ids_.find(printer);
    if (id == ids_.end())
        id = ids_.emplace(printer, settings_text::FindPrinterId(document_, printer)).first;
    return id->second;
}

void SettingsSnapshot::RefreshLocked()
{
    if (!folder_)
        folder_ = SafeFolder::Open(appFolder_);
    const Safe<struct stat> status = folder_ ? folder_.value.Stat(kDocument) : Safe<struct stat>{};
    std::optional<Identity> now;
    if (status)
        now = Identity{status.value.st_dev, status.value.st_ino,
                       status.value.st_ctim.tv_sec * 1000000000LL + status.value.st_ctim.tv_nsec, status.value.st_size};
    if (now && now == identity_)
        return;
    // Stated before it is read: a change in between is seen next time.
    identity_ = now;
    document_ = SettingsDocument::InFolder(appFolder_).Read();
    ids_.clear();
    users_.clear();
}

}  // namespace ostrel
