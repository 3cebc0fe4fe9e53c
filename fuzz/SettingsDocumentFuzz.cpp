// The settings document's readers and edits on any text: the console and
// the monitor both edit it, and an administrator may too. The input is a
// printer name, a cost and a user name on one line each, then the document.

#include "FuzzSupport.h"
#include "SettingsDocument.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace ostrel;
using namespace ostrel::settings_text;

namespace {

std::size_t Count(std::string_view text, std::string_view part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

bool HasName(const std::vector<ConfiguredPrinter>& printers, std::string_view name)
{
    return std::any_of(printers.begin(), printers.end(), [&](const auto& p) { return p.name == name; });
}

// The readers agree with each other. Lookups by name assume what the
// writers guarantee: no name element holds a '<'.
void CheckReaders(std::string_view document, std::string_view name)
{
    const std::vector<ConfiguredPrinter> configured = ConfiguredPrinters(document);
    const std::vector<MonitoredPrinter> monitored = MonitoredPrinters(document);
    std::vector<MonitoredPrinter> expected;
    for (const ConfiguredPrinter& p : configured)
        if (p.monitored)
            expected.push_back({p.name, p.cost});
    // An entry without a cost element is never monitored, so `monitored`
    // may lack some; those it has come in the same order.
    auto next = expected.begin();
    for (const MonitoredPrinter& p : monitored) {
        next = std::find(next, expected.end(), p);
        FUZZ_CHECK(next != expected.end());
        ++next;
    }

    const bool plainNames = std::none_of(configured.begin(), configured.end(),
                                         [](const auto& p) { return p.name.find('<') != std::string::npos; });
    if (plainNames && name.find('<') == std::string_view::npos) {
        FUZZ_CHECK(FindPrinterId(document, name).has_value() == HasName(configured, name));
        FUZZ_CHECK(CostOf(document, name).has_value() == HasName(configured, name));
    }
    UserNames(document);
}

// Whether the entries are as the writers keep them, which edits by name
// rely on: every name element closed, no '<' in a name, an ID or a cost,
// and the place where new entries go in front of every entry.
bool WellKept(std::string_view document, const std::vector<ConfiguredPrinter>& printers)
{
    if (Count(document, "<name>") != printers.size())
        return false;
    const std::size_t list = document.find("<printers>");
    const std::size_t newEntries = list != std::string_view::npos ? list : document.find("<log>");
    if (newEntries != std::string_view::npos && newEntries > document.find("<name>"))
        return false;
    return std::all_of(printers.begin(), printers.end(), [&](const ConfiguredPrinter& p) {
        return p.name.find('<') == std::string::npos && p.cost.find('<') == std::string::npos &&
               PrinterId(document, p.name).find('<') == std::string::npos;
    });
}

// The ID texts of the entries, as found by their names.
std::vector<std::string> Ids(std::string_view document, const std::vector<ConfiguredPrinter>& printers)
{
    std::vector<std::string> ids;
    for (const ConfiguredPrinter& p : printers)
        if (p.name.find('<') == std::string::npos)
            if (auto id = FindPrinterId(document, p.name))
                ids.push_back(*id);
    return ids;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input = fuzz::Text(data, size);
    const std::string name = StripXmlSpecials(fuzz::TakeLine(input));
    const std::string cost = StripXmlSpecials(fuzz::TakeLine(input));
    const std::string user = StripXmlSpecials(fuzz::TakeLine(input));
    const std::string original(input);

    CheckReaders(original, name);

    // A user once added is there: adding again changes nothing.
    std::string document = original;
    AddUser(document, user);
    FUZZ_CHECK(!AddUser(document, user));
    CheckReaders(document, name);

    // A new printer gets an ID no entry had, and is found by its name.
    document = original;
    const std::vector<ConfiguredPrinter> before = ConfiguredPrinters(document);
    const bool wellKept = WellKept(document, before);
    if (wellKept && !HasName(before, name)) {
        const std::vector<std::string> oldIds = Ids(document, before);
        const std::string id = AddPrinter(document, name, cost);
        FUZZ_CHECK(std::find(oldIds.begin(), oldIds.end(), id) == oldIds.end());
        FUZZ_CHECK(FindPrinterId(document, name) == id);
        FUZZ_CHECK(CostOf(document, name).has_value());
        CheckReaders(document, name);
    }

    // The flag and the cost edits land in the entries of that name.
    document = original;
    if (SetCost(document, name, cost) && wellKept)
        for (const ConfiguredPrinter& p : ConfiguredPrinters(document))
            FUZZ_CHECK(p.name != name || p.cost == cost || p.cost.empty());
    SetMonitored(document, name, true);
    SetMonitored(document, name, false);
    if (wellKept)
        for (const ConfiguredPrinter& p : ConfiguredPrinters(document))
            FUZZ_CHECK(p.name != name || !p.monitored);
    CheckReaders(document, name);

    // The printers page's apply monitors the rows given and nothing else.
    document = original;
    const std::vector<std::pair<std::string, std::string>> rows = {{name, cost}, {user, cost}};
    ApplyMonitoredList(document, rows);
    const std::vector<ConfiguredPrinter> after = ConfiguredPrinters(document);
    if (wellKept) {
        for (const ConfiguredPrinter& p : after)
            FUZZ_CHECK(!p.monitored || p.name == name || p.name == user);
        FUZZ_CHECK(HasName(after, name) && HasName(after, user));
    }
    CheckReaders(document, name);
    return 0;
}
