#include "SaveRights.h"

#include "CMessageDlg.h"
#include "WriteRights.h"

namespace ostrel {

SaveRights::SaveRights(std::string appFolder, Probe probe) : probe_(std::move(probe))
{
    if (!probe_)
        probe_ = [folder = std::move(appFolder)] { return CheckFolders(folder); };
}

std::optional<QString> SaveRights::CheckFolders(const std::string& appFolder)
{
    if (const std::optional<std::string> denial = WhyChangesCannotBeSaved(appFolder))
        return QString::fromStdString(*denial);
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

}  // namespace ostrel
