#pragma once

#include <string>

class QWidget;

namespace ostrel {

// The status page's two reports of today: the default printer's and the
// current user's. A printer without an entry in settings.xml is not
// monitored, which the user is told.
void ShowDefaultPrinterReport(QWidget* parent, const std::string& appFolder, const std::string& printer);
void ShowCurrentUserReport(QWidget* parent, const std::string& appFolder, const std::string& user);

}  // namespace ostrel
