#include "QuickReports.h"

#include "ShowReport.h"

namespace ostrel {

void ShowDefaultPrinterReport(QWidget* parent, const std::string& appFolder, const std::string& printer)
{
    ShowReport(parent, appFolder, {{ReportKind::Printer, printer, true}, "Today"});
}

void ShowCurrentUserReport(QWidget* parent, const std::string& appFolder, const std::string& user)
{
    ShowReport(parent, appFolder, {{ReportKind::User, user, false}, "Today"});
}

}  // namespace ostrel
