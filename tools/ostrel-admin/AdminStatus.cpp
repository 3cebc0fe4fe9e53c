#include "AdminStatus.h"

#include "CentralSettings.h"
#include "Files.h"
#include "RegistryHive.h"
#include "SafeFolder.h"

#include <fcntl.h>

#include <algorithm>

namespace ostrel {
namespace {

// The tail of a year log that surely holds its last record.
constexpr std::uint64_t kTail = 64 * 1024;

// The machine's year logs are Logs/y_YYYY.xml.
bool IsYearLog(const std::string& name)
{
    return name.size() == 10 && name.starts_with("y_") && name.ends_with(".xml") &&
           std::all_of(name.begin() + 2, name.begin() + 6, [](char c) { return c >= '0' && c <= '9'; });
}

std::string Field(std::string_view record, std::string_view tag)
{
    const std::string open = "<" + std::string(tag) + ">";
    const std::string close = "</" + std::string(tag) + ">";
    const std::size_t start = record.find(open);
    if (start == std::string_view::npos)
        return {};
    const std::size_t end = record.find(close, start + open.size());
    if (end == std::string_view::npos)
        return {};
    return std::string(record.substr(start + open.size(), end - start - open.size()));
}

}  // namespace

std::optional<std::string> LastRecordTime(const std::string& appFolder)
{
    const Safe<SafeFolder> logs = SafeFolder::Open(appFolder, "Logs");
    if (!logs)
        return std::nullopt;
    const Safe<std::vector<FolderEntry>> entries = logs.value.List();
    if (!entries)
        return std::nullopt;
    std::string newest;
    for (const FolderEntry& entry : entries.value)
        if (entry.type == FolderEntry::Type::File && IsYearLog(entry.name) && entry.name > newest)
            newest = entry.name;
    if (newest.empty())
        return std::nullopt;
    const Safe<FileDescriptor> file = logs.value.OpenFile(newest, O_RDONLY);
    if (!file)
        return std::nullopt;
    const std::uint64_t size = FileSize(file.value.Get()).value_or(0);
    const std::uint64_t from = size > kTail ? size - kTail : 0;
    const std::optional<std::string> tail = ReadAt(file.value.Get(), from, static_cast<std::size_t>(size - from));
    if (!tail)
        return std::nullopt;
    const std::size_t start = tail->rfind("<event>");
    if (start == std::string::npos)
        return std::nullopt;
    const std::string_view record = std::string_view(*tail).substr(start);
    const std::string year = Field(record, "year");
    const std::string month = Field(record, "month");
    const std::string day = Field(record, "day");
    const std::string hour = Field(record, "hour");
    const std::string minute = Field(record, "min");
    if (year.empty() || month.empty() || day.empty())
        return std::nullopt;
    return year + "-" + month + "-" + day + " " + hour + ":" + minute;
}

std::optional<std::string> CentralStoreState()
{
    // The monitor's own account of its forwarding, as the status page shows it.
    std::string line = CentralStatusLine(LocalMachineHive());
    if (line.empty())
        return std::nullopt;
    return line;
}

}  // namespace ostrel
