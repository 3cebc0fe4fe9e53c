#include "SettingsDocument.h"

#include "ApplicationFolder.h"
#include "Files.h"
#include "SafeFolder.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace ostrel {

namespace {

// Documents made on Windows end their lines with "\r\n".
std::string WithoutCarriageReturns(std::string text)
{
    if (text.find('\r') == std::string::npos)
        return text;
    std::string::size_type out = 0;
    for (std::string::size_type in = 0; in < text.size(); ++in) {
        if (text[in] == '\r' && in + 1 < text.size() && text[in + 1] == '\n')
            continue;
        text[out++] = text[in];
    }
    text.resize(out);
    return text;
}

}  // namespace

std::string ReadWholeFile(const std::filesystem::path& file)
{
    return WithoutCarriageReturns(ReadFileBytes(file).value_or(std::string()));
}

std::string StripXmlSpecials(std::string_view text)
{
    std::string stripped;
    stripped.reserve(text.size());
    for (char c : text)
        if (c != '<' && c != '>' && c != '&' && c != '\'' && c != '"')
            stripped += c;
    return stripped;
}

namespace settings_text {
namespace {

// memmem skips ahead far better than a search that stops at every '<' of a
// document that is mostly tags.
size_t FindText(std::string_view text, std::string_view part, size_t from = 0)
{
    if (from > text.size())
        return std::string_view::npos;
    const void* found = ::memmem(text.data() + from, text.size() - from, part.data(), part.size());
    return found ? static_cast<size_t>(static_cast<const char*>(found) - text.data()) : std::string_view::npos;
}

constexpr std::string_view kName = "<name>";
constexpr std::string_view kNameEnd = "</name>";
constexpr std::string_view kId = "<ID>";
constexpr std::string_view kIdEnd = "</ID>";
constexpr std::string_view kLog = "<log>";
constexpr std::string_view kPrinters = "<printers>";
constexpr std::string_view kPrintersEnd = "</printers>";
constexpr std::string_view kUsers = "<users>";

// A printer list where the readers look for one: right inside the root
// element, or at the end of a document without one.
void EnsurePrinterList(std::string& document)
{
    if (document.find(kPrinters) != std::string::npos)
        return;
    const size_t log = document.find(kLog);
    document.insert(log == std::string::npos ? document.size() : log + kLog.size(), "<printers></printers>");
}

// Where the text of one element lies in the document.
struct Span {
    size_t start = 0;
    size_t length = 0;
};

struct PrinterEntry {
    std::string_view name;
    std::optional<Span> id;
    std::optional<Span> cost;
    std::optional<Span> monitored;
};

// The text of the first `open`...`close` element that starts at or after
// `from` and ends before `limit`; `from` moves past it.
std::optional<Span> Element(std::string_view document, std::string_view open, std::string_view close, size_t& from,
                            size_t limit)
{
    const size_t start = document.find(open, from);
    if (start == std::string_view::npos || start >= limit)
        return std::nullopt;
    const size_t textStart = start + open.size();
    const size_t end = document.find(close, textStart);
    if (end == std::string_view::npos || end + close.size() > limit)
        return std::nullopt;
    from = end + close.size();
    return Span{textStart, end - textStart};
}

std::optional<std::string_view> TextOf(std::string_view document, const std::optional<Span>& span)
{
    if (!span)
        return std::nullopt;
    return document.substr(span->start, span->length);
}

// Every printer entry in document order. An entry reaches from its name
// element to the next one; its other elements are looked for only there,
// so an incomplete entry never borrows its neighbour's.
std::vector<PrinterEntry> PrinterEntries(std::string_view document)
{
    std::vector<PrinterEntry> entries;
    size_t at = document.find(kName);
    while (at != std::string_view::npos) {
        const size_t nameStart = at + kName.size();
        const size_t nameEnd = document.find(kNameEnd, nameStart);
        if (nameEnd == std::string_view::npos)
            break;
        const size_t next = document.find(kName, nameEnd);
        const size_t limit = next == std::string_view::npos ? document.size() : next;
        PrinterEntry entry{document.substr(nameStart, nameEnd - nameStart), {}, {}, {}};
        size_t from = nameEnd + kNameEnd.size();
        entry.id = Element(document, "<ID>", "</ID>", from, limit);
        entry.cost = Element(document, "<cost>", "</cost>", from, limit);
        entry.monitored = Element(document, "<monitored>", "</monitored>", from, limit);
        entries.push_back(entry);
        at = next;
    }
    return entries;
}

// Replaces one element's text in every entry named `name`; false when no
// entry carries that element.
bool ReplaceInEntries(std::string& document, std::string_view name, std::optional<Span> PrinterEntry::*field,
                      std::string_view text)
{
    std::vector<Span> targets;
    for (const auto& entry : PrinterEntries(document))
        if (entry.name == name && entry.*field)
            targets.push_back(*(entry.*field));
    // From the last one backwards, so that earlier positions stay valid.
    for (auto span = targets.rbegin(); span != targets.rend(); ++span)
        document.replace(span->start, span->length, text);
    return !targets.empty();
}

}  // namespace

std::vector<MonitoredPrinter> MonitoredPrinters(std::string_view document)
{
    std::vector<MonitoredPrinter> printers;
    for (const auto& entry : PrinterEntries(document))
        if (entry.cost && TextOf(document, entry.monitored) == "1")
            printers.push_back({std::string(entry.name), std::string(*TextOf(document, entry.cost))});
    return printers;
}

std::optional<std::string> FindPrinterId(std::string_view document, std::string_view name)
{
    // The last whole name element is the last entry of that name: names
    // never hold "<", so such an element always begins an entry. Searched
    // for directly, since the monitor asks once per recorded job.
    const std::string element = std::string(kName) + std::string(name) + std::string(kNameEnd);
    size_t at = FindText(document, element);
    if (at == std::string_view::npos)
        return std::nullopt;
    for (size_t later = at; (later = FindText(document, element, later + 1)) != std::string_view::npos;)
        at = later;
    const size_t next = document.find(kName, at + element.size());
    size_t from = at + element.size();
    const auto id = Element(document, "<ID>", "</ID>", from, next == std::string_view::npos ? document.size() : next);
    return std::string(TextOf(document, id).value_or(""));
}

std::string PrinterId(std::string_view document, std::string_view name)
{
    return FindPrinterId(document, name).value_or("");
}

bool HasUser(std::string_view document, std::string_view user)
{
    return FindText(document, "<username>" + std::string(user) + "</username>") != std::string_view::npos;
}

bool AddUser(std::string& document, std::string_view user)
{
    if (HasUser(document, user))
        return false;
    const std::string element = "<username>" + std::string(user) + "</username>";

    if (const size_t users = document.find(kUsers); users != std::string::npos) {
        document.insert(users + kUsers.size(), element);
        return true;
    }
    // A document without a user list gets one right after the printer list;
    // without that, inside the root element, or at the very end.
    const std::string list = "<users>" + element + "</users>";
    if (const size_t printersEnd = document.find(kPrintersEnd); printersEnd != std::string::npos)
        document.insert(printersEnd + kPrintersEnd.size(), list);
    else if (const size_t logEnd = document.rfind("</log>"); logEnd != std::string::npos)
        document.insert(logEnd, list);
    else
        document += list;
    return true;
}

std::string AddPrinter(std::string& document, std::string_view name, std::string_view cost)
{
    EnsurePrinterList(document);
    // IDs are compared and counted as decimal texts, so that no ID is too
    // long to be seen and the new one is never an old one.
    std::string largest = "0";
    for (size_t at = document.find(kId); at != std::string::npos; at = document.find(kId, at + kId.size())) {
        const size_t start = at + kId.size();
        const size_t end = document.find(kIdEnd, start);
        if (end == std::string::npos)
            break;
        std::string_view text = std::string_view(document).substr(start, end - start);
        if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
            continue;
        text.remove_prefix(std::min(text.find_first_not_of('0'), text.size() - 1));
        if (text.size() > largest.size() || (text.size() == largest.size() && text > largest))
            largest = text;
    }
    std::string id = largest;
    auto digit = id.rbegin();
    for (; digit != id.rend() && *digit == '9'; ++digit)
        *digit = '0';
    if (digit == id.rend())
        id.insert(id.begin(), '1');
    else
        ++*digit;
    document.insert(document.find(kPrinters) + kPrinters.size(), "<name>" + std::string(name) + "</name><ID>" + id +
                                                                     "</ID><cost>" + std::string(cost) +
                                                                     "</cost><monitored>1</monitored>");
    return id;
}

bool SetMonitored(std::string& document, std::string_view name, bool monitored)
{
    return ReplaceInEntries(document, name, &PrinterEntry::monitored, monitored ? "1" : "0");
}

bool SetCost(std::string& document, std::string_view name, std::string_view cost)
{
    return ReplaceInEntries(document, name, &PrinterEntry::cost, cost);
}

std::vector<ConfiguredPrinter> ConfiguredPrinters(std::string_view document)
{
    std::vector<ConfiguredPrinter> printers;
    for (const auto& entry : PrinterEntries(document))
        printers.push_back({std::string(entry.name), std::string(TextOf(document, entry.cost).value_or("")),
                            TextOf(document, entry.monitored) == "1"});
    return printers;
}

void ApplyMonitoredList(std::string& document, const std::vector<std::pair<std::string, std::string>>& rows)
{
    // Entries outside a printer list count as well, as the readers take them.
    std::vector<Span> flags;
    for (const auto& entry : PrinterEntries(document))
        if (entry.monitored)
            flags.push_back(*entry.monitored);
    for (auto span = flags.rbegin(); span != flags.rend(); ++span)
        document.replace(span->start, span->length, "0");
    EnsurePrinterList(document);
    // Named, not bound: clang before 16 lets no lambda capture a binding.
    for (const auto& row : rows) {
        const std::string& name = row.first;
        const std::string& cost = row.second;
        const auto entries = PrinterEntries(document);
        const auto first =
            std::find_if(entries.begin(), entries.end(), [&](const PrinterEntry& entry) { return entry.name == name; });
        if (first == entries.end())
            AddPrinter(document, name, cost);
        else if (first->monitored)
            document.replace(first->monitored->start, first->monitored->length, "1");
    }
}

std::vector<std::string> UserNames(std::string_view document)
{
    std::vector<std::string> users;
    size_t from = 0;
    while (const auto span = Element(document, "<username>", "</username>", from, document.size()))
        users.emplace_back(document.substr(span->start, span->length));
    return users;
}

std::optional<std::int32_t> CostOf(std::string_view document, std::string_view name)
{
    std::optional<std::int32_t> cost;
    for (const auto& entry : PrinterEntries(document)) {
        if (entry.name != name)
            continue;
        // The leading number, as a text-to-number conversion reads it.
        const std::string text(TextOf(document, entry.cost).value_or(""));
        const char* begin = text.c_str();
        while (*begin == ' ' || *begin == '\t')
            ++begin;
        char* end = nullptr;
        const long long value = std::strtoll(begin, &end, 10);
        if (end == begin)
            cost = 0;
        else
            cost = static_cast<std::int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
    }
    return cost;
}

}  // namespace settings_text

SettingsDocument::SettingsDocument(std::filesystem::path file) : file_(std::move(file)) {}

SettingsDocument SettingsDocument::InFolder(std::string_view appFolder)
{
    return SettingsDocument(InApplicationFolder(appFolder, "settings.xml"));
}

std::string SettingsDocument::Read() const
{
    return WithoutCarriageReturns(Folder().ReadFile(Name()).value);
}

// The document's folder is the application folder, trusted as given; the
// document itself is opened without following a link, since the root
// monitor reads and rewrites it and the group may write the folder.
SafeFolder SettingsDocument::Folder() const
{
    return SafeFolder::Open(file_.has_parent_path() ? file_.parent_path() : ".").value;
}

std::string SettingsDocument::Name() const
{
    return file_.filename().string();
}

std::vector<MonitoredPrinter> SettingsDocument::ReadMonitoredPrinters() const
{
    return settings_text::MonitoredPrinters(Read());
}

std::string SettingsDocument::LookUpPrinterId(std::string_view name) const
{
    return settings_text::PrinterId(Read(), name);
}

std::optional<std::string> SettingsDocument::FindPrinterId(std::string_view name) const
{
    return settings_text::FindPrinterId(Read(), name);
}

bool SettingsDocument::AddUser(std::string_view user)
{
    return Edit([&](std::string& document) { return settings_text::AddUser(document, user); });
}

bool SettingsDocument::Edit(const std::function<bool(std::string&)>& change)
{
    FileLock lock(std::filesystem::path(file_) += ".lock");
    // A missing document is edited as the empty text; one that exists but
    // cannot be read is left alone, never replaced by an edit of nothing.
    // A link in its place counts as unreadable.
    const SafeFolder folder = Folder();
    Safe<std::string> bytes = folder.ReadFile(Name());
    if (!bytes && bytes.status != SafeStatus::Missing)
        return false;
    std::string document = WithoutCarriageReturns(std::move(bytes.value));
    if (!change(document))
        return false;
    return folder.Replace(Name(), document, kPrivateFileMode) == SafeStatus::Ok;
}

}  // namespace ostrel
