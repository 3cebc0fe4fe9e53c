#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// The printers page's list of monitored printers before it is applied (and
// ostrel-admin's, for one step):
// names with their cost per page as text, at most `limit` of them. A name
// is listed when a row carries the same name as settings.xml stores it,
// without regard to case, as the spooler treats queue names; "Laser" and
// "Laser 2" are two printers.
class MonitoredList {
public:
    struct Row {
        std::string name;
        std::string cost;
        bool operator==(const Row&) const = default;
    };
    enum class AddResult { Added, AlreadyListed, LimitReached };

    explicit MonitoredList(std::uint32_t limit = 1) : limit_(limit == 0 ? 1 : limit) {}

    bool Lists(std::string_view name) const;
    // The row that lists `name`, if any.
    std::optional<std::size_t> IndexOf(std::string_view name) const;
    // A new row with the cost "0".
    AddResult Add(std::string_view name);
    void Remove(std::size_t index);
    void Assign(std::vector<Row> rows) { rows_ = std::move(rows); }
    // The rows settings.xml holds: its monitored entries, an empty cost as "0".
    void Load(std::string_view document);
    void Clear() { rows_.clear(); }

    const std::vector<Row>& Rows() const { return rows_; }
    std::uint32_t Limit() const { return limit_; }

    // Whether two names are one printer's, by the rule above.
    static bool SameName(std::string_view a, std::string_view b);

    // How many printers the console may mark monitored: the registry value
    // MonitoredPrinterLimit, 1 when it is missing or 0.
    static std::uint32_t ConfiguredLimit();
    // What the console says when the list is full.
    static std::string LimitMessage(std::uint32_t limit);

private:
    std::uint32_t limit_;
    std::vector<Row> rows_;
};

}  // namespace ostrel
