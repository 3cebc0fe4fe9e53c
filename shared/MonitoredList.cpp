#include "MonitoredList.h"

#include "RegValue.h"
#include "SettingsDocument.h"

#include <algorithm>

namespace ostrel {

// Names as settings.xml keeps them (without the five special characters),
// compared without regard to case.
bool MonitoredList::SameName(std::string_view a, std::string_view b)
{
    const std::string left = StripXmlSpecials(a);
    const std::string right = StripXmlSpecials(b);
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

bool MonitoredList::Lists(std::string_view name) const
{
    return IndexOf(name).has_value();
}

std::optional<std::size_t> MonitoredList::IndexOf(std::string_view name) const
{
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (SameName(rows_[i].name, name))
            return i;
    return std::nullopt;
}

MonitoredList::AddResult MonitoredList::Add(std::string_view name)
{
    if (Lists(name))
        return AddResult::AlreadyListed;
    if (rows_.size() >= limit_)
        return AddResult::LimitReached;
    rows_.push_back({std::string(name), "0"});
    return AddResult::Added;
}

void MonitoredList::Load(std::string_view document)
{
    rows_.clear();
    for (const auto& printer : settings_text::ConfiguredPrinters(document))
        if (printer.monitored)
            rows_.push_back({printer.name, printer.cost.empty() ? "0" : printer.cost});
}

void MonitoredList::Remove(std::size_t index)
{
    if (index < rows_.size())
        rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
}

std::uint32_t MonitoredList::ConfiguredLimit()
{
    const std::uint32_t limit = RegValueDword("Software\\Ostrel\\MonitoredPrinterLimit", 1).Get();
    return limit == 0 ? 1 : limit;
}

std::string MonitoredList::LimitMessage(std::uint32_t limit)
{
    if (limit <= 1)
        return "There is already 1 printer monitored. Please remove it in order to add another one.";
    return "There are already " + std::to_string(limit) +
           " printers monitored. Please remove one of them in order to add another one.";
}

}  // namespace ostrel
