#include "QuickReports.h"

#include "CMessageDlg.h"
#include "SettingsDocument.h"

namespace ostrel {

namespace {

// Until the console has its report viewer, no report can be shown.
void ShowMissingReport(QWidget* parent)
{
    CMessageDlg::Show(QStringLiteral("The report your are trying to view does not exists."), parent);
}

} // namespace

void ShowDefaultPrinterReport(QWidget* parent, const std::string& appFolder, const std::string& printer)
{
    if (SettingsDocument::InFolder(appFolder).LookUpPrinterId(printer).empty()) {
        CMessageDlg::Show(QStringLiteral("The default printer is not monitored. Please check the Printers menu."),
                          parent);
        return;
    }
    ShowMissingReport(parent);
}

void ShowCurrentUserReport(QWidget* parent, const std::string&, const std::string&)
{
    ShowMissingReport(parent);
}

} // namespace ostrel
