#include "ReportRights.h"

#include "CMessageDlg.h"
#include "ReportAccess.h"

namespace ostrel {

ReportRights::ReportRights(std::string appFolder, Probe probe) : probe_(std::move(probe))
{
    if (!probe_)
        probe_ = [folder = std::move(appFolder)]() -> std::optional<QString> {
            if (const std::optional<std::string> denied = ReportsDenied(folder))
                return QString::fromStdString(*denied);
            return std::nullopt;
        };
}

void ReportRights::TellOnce(QWidget* parent)
{
    if (told_)
        return;
    if (const std::optional<QString> denied = probe_()) {
        told_ = true;
        CMessageDlg::Show(*denied, parent);
    }
}

bool ReportRights::BeforeReport(QWidget* parent)
{
    const std::optional<QString> denied = probe_();
    if (denied) {
        told_ = true;
        CMessageDlg::Show(*denied, parent);
    }
    return !denied;
}

}  // namespace ostrel
