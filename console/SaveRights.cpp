#include "SaveRights.h"

#include "Accounts.h"
#include "CMessageDlg.h"
#include "RegistryHive.h"

namespace ostrel {

SaveRights::SaveRights(std::string appFolder, Probe probe) : probe_(std::move(probe))
{
    if (!probe_)
        probe_ = [folder = std::move(appFolder)] { return CheckFolders(folder); };
}

std::optional<QString> SaveRights::CheckFolders(const std::string& appFolder)
{
    // An empty application folder puts the documents at the root.
    const std::filesystem::path documents = appFolder.empty() ? std::filesystem::path("/") : std::filesystem::path(appFolder);
    for (const std::filesystem::path& folder : {RegistryRoot() / "HKEY_LOCAL_MACHINE" / "Software" / "Ostrel", documents}) {
        const FolderAccess access = AccessToFolder(folder);
        if (access.writable)
            continue;
        const QString user = QString::fromStdString(EffectiveUserName());
        const QString group = QString::fromStdString(access.group);
        return QStringLiteral("Your changes cannot be saved: %1 may not write to %2, where Ostrel keeps its "
                              "settings. Ask an administrator to add %1 to the group %3, then log in again.")
            .arg(user, QString::fromStdString(folder.string()), group);
    }
    return std::nullopt;
}

void SaveRights::BeforeChange(QWidget* parent)
{
    if (told_)
        return;
    if (const std::optional<QString> denial = probe_()) {
        told_ = true;
        CMessageDlg::Show(*denial, parent);
    }
}

} // namespace ostrel
