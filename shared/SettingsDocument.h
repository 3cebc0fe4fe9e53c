#pragma once

#include "SafeFolder.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// The whole text of a file with every "\r\n" read as "\n", or the empty text
// when the file is missing or unreadable.
std::string ReadWholeFile(const std::filesystem::path& file);

// Removes every '<', '>', '&', '\'' and '"' from a name, so that names
// compare equal in the settings document, the logs and the console.
std::string StripXmlSpecials(std::string_view text);

struct MonitoredPrinter {
    std::string name;
    std::string cost;  // exactly as stored between the cost tags

    bool operator==(const MonitoredPrinter&) const = default;
};

// Reading and editing of the settings document's text. Neither side parses
// it as XML: every read and edit is a search for fixed tag texts, so that
// whatever the document holds besides those elements is kept as it is.
// A printer entry is the four elements name, ID, cost, monitored, in this
// order; a reader skips an entry that lacks an element it needs. Printers
// are found by their whole name element, so "Laser" and "Laser 2" stay two.
namespace settings_text {

// (name, cost) of every entry whose monitored text is exactly "1", in
// document order.
std::vector<MonitoredPrinter> MonitoredPrinters(std::string_view document);

// The ID text of the last entry whose name equals `name` byte for byte, or
// nothing when no entry carries that name (an entry without an ID element
// gives the empty text).
std::optional<std::string> FindPrinterId(std::string_view document, std::string_view name);

// As FindPrinterId, with the empty text when no entry matches.
std::string PrinterId(std::string_view document, std::string_view name);

// Whether a username element with exactly the text `user` exists.
bool HasUser(std::string_view document, std::string_view user);
// Adds `user` (already stripped) to the user list, newest first, unless
// HasUser. Returns whether the document changed.
bool AddUser(std::string& document, std::string_view user);

// Inserts a new monitored entry first in the printer list, creating the
// list after "<log>" when missing, with the ID one above the largest in the
// document. Returns the new ID.
std::string AddPrinter(std::string& document, std::string_view name, std::string_view cost);

// Set the monitored flag or the cost text of every entry named `name`.
// Return whether such an entry was found.
bool SetMonitored(std::string& document, std::string_view name, bool monitored);
bool SetCost(std::string& document, std::string_view name, std::string_view cost);

// A printer entry as the console lists it.
struct ConfiguredPrinter {
    std::string name;
    std::string cost;        // exactly as stored
    bool monitored = false;  // the monitored text is exactly "1"

    bool operator==(const ConfiguredPrinter&) const = default;
};
std::vector<ConfiguredPrinter> ConfiguredPrinters(std::string_view document);

// The printers page's apply. Every entry loses its monitored flag (a
// document without a printer list gets an empty one after "<log>"); then,
// for each (name, cost) in turn, the first entry of that name is monitored
// again and keeps its own cost, and a name without an entry becomes a new
// monitored entry with `cost`, first in the list, with the ID one above
// the largest. Names are taken as given (already stripped).
void ApplyMonitoredList(std::string& document, const std::vector<std::pair<std::string, std::string>>& rows);

// The user list's names, in document order.
std::vector<std::string> UserNames(std::string_view document);

// The cost per page the settings page shows for a printer: the number the
// last entry of that name starts its cost text with, 0 when it starts with
// none; nothing when no entry carries the name.
std::optional<std::int32_t> CostOf(std::string_view document, std::string_view name);

}  // namespace settings_text

// `settings.xml` of an application folder. Readers see a whole document at
// all times, since writes replace the file in one rename. Every
// read-modify-write holds an advisory lock on "settings.xml.lock" beside
// it, so that edits of the console and the monitor never lose each other.
// Failures are quiet: a missing document reads as the empty text, an edit
// that cannot be written is lost.
class SettingsDocument {
public:
    explicit SettingsDocument(std::filesystem::path file);

    // The document of an application folder: <folder>/settings.xml.
    static SettingsDocument InFolder(std::string_view appFolder);

    const std::filesystem::path& File() const { return file_; }

    std::string Read() const;
    std::vector<MonitoredPrinter> ReadMonitoredPrinters() const;
    std::string LookUpPrinterId(std::string_view name) const;
    std::optional<std::string> FindPrinterId(std::string_view name) const;

    // Adds a user to the list; false when the user was there or the
    // document could not be written.
    bool AddUser(std::string_view user);

    // Reads the document, lets `change` edit the text, and writes it back
    // when `change` returns true, all under the lock. Returns whether a
    // change was written.
    bool Edit(const std::function<bool(std::string&)>& change);

private:
    SafeFolder Folder() const;
    std::string Name() const;

    std::filesystem::path file_;
};

}  // namespace ostrel
