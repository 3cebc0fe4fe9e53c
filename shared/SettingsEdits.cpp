#include "SettingsEdits.h"

#include "RegValue.h"
#include "SettingsDocument.h"

namespace ostrel::settings_edits {

void ApplyPrinters(std::string_view appFolder, const std::vector<MonitoredList::Row>& rows)
{
    std::vector<std::pair<std::string, std::string>> stripped;
    for (const MonitoredList::Row& row : rows)
        stripped.emplace_back(StripXmlSpecials(row.name), row.cost.empty() ? "0" : row.cost);
    SettingsDocument::InFolder(appFolder).Edit([&](std::string& document) {
        settings_text::ApplyMonitoredList(document, stripped);
        return true;
    });
    RequestReload();
}

void ApplyCost(std::string_view appFolder, std::string_view name, std::int32_t cost)
{
    SettingsDocument::InFolder(appFolder).Edit([&](std::string& document) {
        settings_text::SetCost(document, name, std::to_string(cost));
        return true;
    });
    RequestReload();
}

void RequestReload()
{
    RegValueDword reset("Software\\Ostrel\\Reset", 0);
    reset.Set(1);
    reset.Write();
}

}  // namespace ostrel::settings_edits
