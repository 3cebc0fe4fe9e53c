#include "RegCommand.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <string_view>

namespace ostrel::reg {
namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;

constexpr std::string_view kNotFound = "The system was unable to find the specified registry key or value.";
constexpr std::string_view kAccessDenied = "Access is denied.";
constexpr std::string_view kCompleted = "The operation completed successfully.";
constexpr std::string_view kCancelled = "The operation was cancelled.";

// Longer names would not fit one file or folder name of the store.

constexpr std::string_view kUsage =
    "Usage:\n"
    "  ostrel-reg query  KEY [/v NAME]\n"
    "  ostrel-reg add    KEY /v NAME [/t REG_SZ|REG_DWORD] [/d DATA] [/f]\n"
    "  ostrel-reg delete KEY /v NAME [/f]\n"
    "\n"
    "  KEY   HKLM\\Software\\Ostrel or HKEY_LOCAL_MACHINE\\Software\\Ostrel;\n"
    "        '/' may stand for '\\' (HKLM/Software/Ostrel).\n"
    "  /v    the name of the value.\n"
    "  /t    the type of the value; REG_SZ when not given.\n"
    "  /d    the data: text for REG_SZ; for REG_DWORD a number from 0 to\n"
    "        4294967295, in decimal or in hex with 0x.\n"
    "  /f    add or delete without asking.\n"
    "\n"
    "Examples:\n"
    "  ostrel-reg query HKLM\\Software\\Ostrel\n"
    "  ostrel-reg add HKLM\\Software\\Ostrel /v DeleteOldLogs /t REG_DWORD /d 1 /f\n"
    "  ostrel-reg add HKLM\\Software\\Ostrel /v MonitoredPrinterLimit /t REG_DWORD /d 4 /f\n"
    "      (the console then lets you monitor up to 4 printers; missing: 1)\n"
    "\n"
    "The store lives under $OSTREL_REGISTRY_ROOT (default /var/lib/ostrel/registry).\n"
    "Exit code: 0 on success, 1 on an error or when the operation was cancelled.\n";

enum class Command { Query, Add, Delete };

struct Options {
    Command command = Command::Query;
    std::optional<std::string> key;
    std::optional<std::string> valueName;
    std::optional<std::string> type;
    std::optional<std::string> data;
    bool force = false;
};

// Where a key lives in the hive, and how reg names it in its output.
struct KeyName {
    std::string path;
    std::string display;
};

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string_view Trim(std::string_view text)
{
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<Command> CommandFromName(std::string_view name)
{
    const std::string lower = Lower(name);
    if (lower == "query")
        return Command::Query;
    if (lower == "add")
        return Command::Add;
    if (lower == "delete")
        return Command::Delete;
    return std::nullopt;
}

bool IsHelp(std::string_view arg)
{
    return arg == "/?" || arg == "-?" || arg == "-h" || arg == "--help";
}

bool IsKnownSwitch(std::string_view arg)
{
    const std::string lower = Lower(arg);
    return lower == "/v" || lower == "/t" || lower == "/d" || lower == "/f";
}

// Checked before anything is written, so that a bad name gets its own
// message instead of a failed write.
std::optional<std::string> CheckName(std::string_view what, std::string_view name)
{
    if (name.empty())
        return "The " + std::string(what) + " name is empty.";
    if (name.size() > 255)
        return "The " + std::string(what) + " name is longer than 255 characters.";
    if (!IsValidRegistryName(name))
        return "Invalid " + std::string(what) + " name \"" + std::string(name) +
               "\": it cannot start with '.' or contain '/'.";
    return std::nullopt;
}

std::optional<std::string> ParseKey(std::string_view text, KeyName& key)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : text) {
        if (c == '\\' || c == '/') {
            if (!part.empty())
                parts.push_back(std::move(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(std::move(part));

    if (parts.empty())
        return "Invalid key name \"" + std::string(text) + "\": it must start with HKLM.";
    const std::string root = Lower(parts.front());
    if (root != "hklm" && root != "hkey_local_machine") {
        constexpr std::array<std::string_view, 10> kOtherRoots{"hkcu",
                                                               "hkey_current_user",
                                                               "hkcr",
                                                               "hkey_classes_root",
                                                               "hku",
                                                               "hkey_users",
                                                               "hkcc",
                                                               "hkey_current_config",
                                                               "hkey_performance_data",
                                                               "hkpd"};
        if (std::find(kOtherRoots.begin(), kOtherRoots.end(), root) != kOtherRoots.end())
            return "The Ostrel registry has HKEY_LOCAL_MACHINE (HKLM) only, not " + parts.front() + ".";
        return "Invalid key name \"" + std::string(text) + "\": it must start with HKLM or HKEY_LOCAL_MACHINE.";
    }

    key.path.clear();
    for (size_t i = 1; i < parts.size(); ++i) {
        if (auto problem = CheckName("key", parts[i]))
            return problem;
        if (!key.path.empty())
            key.path += '\\';
        key.path += parts[i];
    }
    key.display = key.path.empty() ? "HKEY_LOCAL_MACHINE" : "HKEY_LOCAL_MACHINE\\" + key.path;
    return std::nullopt;
}

// Decimal, or hex after a 0x; nothing else, not even a sign or a blank.
std::optional<std::uint32_t> ParseDword(std::string_view text)
{
    unsigned base = 10;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
        value = value * base + digit;
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::string FormatData(const RegData& data)
{
    constexpr std::string_view kDigits = "0123456789ABCDEF";
    if (data.type == RegType::Dword && data.bytes.size() == 4) {
        std::uint32_t value = DwordFromBytes(data.bytes).value_or(0);
        std::string hex;
        do {
            hex.insert(hex.begin(), static_cast<char>(std::tolower(kDigits[value & 0xFu])));
            value >>= 4;
        } while (value != 0);
        return "0x" + hex;
    }
    if (data.type == RegType::Sz)
        return data.bytes.substr(0, data.bytes.find('\0'));
    std::string hex;
    for (unsigned char byte : data.bytes) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0xFu];
    }
    return hex;
}

void PrintValue(std::ostream& out, std::string_view name, const RegData& data)
{
    out << "    " << name << "    " << RegTypeName(data.type) << "    " << FormatData(data) << '\n';
}

// Anything but a yes, including the end of the input, declines.
bool Confirm(std::string_view question, std::istream& in, std::ostream& out)
{
    out << question << std::flush;
    std::string answer;
    if (!std::getline(in, answer)) {
        out << '\n';
        return false;
    }
    const std::string lower = Lower(Trim(answer));
    return lower == "y" || lower == "yes";
}

std::optional<std::string> ParseOptions(const std::vector<std::string>& args, Options& options)
{
    const std::string& commandName = args.front();
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.empty() || arg.front() != '/') {
            if (options.key)
                return "Unexpected argument \"" + arg + "\".";
            options.key = arg;
            continue;
        }

        const std::string name = Lower(arg);
        const bool forQuery = name == "/v";
        const bool forChanges =
            name == "/v" || name == "/f" || (options.command == Command::Add && (name == "/t" || name == "/d"));
        if (!IsKnownSwitch(name))
            return "Invalid switch " + arg + ".";
        if (options.command == Command::Query ? !forQuery : !forChanges)
            return "The switch " + arg + " is not valid for " + Lower(commandName) + ".";

        if (name == "/f") {
            if (options.force)
                return "The switch " + arg + " was given more than once.";
            options.force = true;
            continue;
        }
        std::optional<std::string>& target = name == "/v"   ? options.valueName
                                             : name == "/t" ? options.type
                                                            : options.data;
        if (target)
            return "The switch " + arg + " was given more than once.";
        // Data is taken as it comes, since a path such as /var/spool is
        // ordinary text; a name or a type that looks like a switch is not.
        if (i + 1 >= args.size() || (name != "/d" && IsKnownSwitch(args[i + 1])))
            return "The switch " + arg + " needs an argument.";
        target = args[++i];
    }

    if (!options.key)
        return "Missing the key, such as HKLM\\Software\\Ostrel.";
    if (options.command != Command::Query && !options.valueName)
        return "Missing /v NAME: " + Lower(commandName) + " works on one value.";
    return std::nullopt;
}

class Runner {
public:
    Runner(RegistryHive& hive, std::istream& in, std::ostream& out, std::ostream& err)
        : hive_(hive), in_(in), out_(out), err_(err)
    {
    }

    int Run(const std::vector<std::string>& args)
    {
        if (args.empty())
            return SyntaxError("Invalid syntax.");
        if (IsHelp(args.front()) || (args.size() >= 2 && CommandFromName(args.front()) && IsHelp(args[1]))) {
            out_ << kUsage;
            return kSuccess;
        }
        Options options;
        if (auto command = CommandFromName(args.front()))
            options.command = *command;
        else
            return SyntaxError("Invalid command \"" + args.front() + "\"; use query, add or delete.");
        if (auto problem = ParseOptions(args, options))
            return SyntaxError(*problem);

        KeyName key;
        if (auto problem = ParseKey(*options.key, key))
            return SyntaxError(*problem);
        if (options.valueName)
            if (auto problem = CheckName("value", *options.valueName))
                return SyntaxError(*problem);

        switch (options.command) {
        case Command::Query: return Query(key, options);
        case Command::Add: return Add(key, options);
        case Command::Delete: return Delete(key, options);
        }
        return kFailure;
    }

private:
    int SyntaxError(std::string_view message)
    {
        err_ << "ERROR: " << message << "\nType \"ostrel-reg /?\" for usage.\n";
        return kFailure;
    }

    int Error(std::string_view message)
    {
        err_ << "ERROR: " << message << '\n';
        return kFailure;
    }

    int Cancelled()
    {
        out_ << kCancelled << '\n';
        return kFailure;
    }

    int Completed()
    {
        out_ << kCompleted << '\n';
        return kSuccess;
    }

    int Query(const KeyName& key, const Options& options)
    {
        if (options.valueName) {
            auto data = hive_.Query(key.path, *options.valueName);
            if (!data)
                return Error(kNotFound);
            out_ << key.display << '\n';
            PrintValue(out_, *options.valueName, *data);
        } else {
            auto entries = hive_.Enumerate(key.path);
            if (!entries)
                return Error(kNotFound);
            out_ << key.display << '\n';
            for (const RegEntry& entry : *entries)
                PrintValue(out_, entry.name, entry.data);
        }
        out_ << '\n';
        return kSuccess;
    }

    int Add(const KeyName& key, const Options& options)
    {
        RegData data;
        const std::string type = Lower(options.type.value_or("REG_SZ"));
        if (type == "reg_sz") {
            data = {RegType::Sz, options.data.value_or("") + '\0'};
        } else if (type == "reg_dword") {
            if (!options.data)
                return SyntaxError("REG_DWORD needs its data: /d NUMBER.");
            auto number = ParseDword(*options.data);
            if (!number)
                return SyntaxError("Invalid REG_DWORD data \"" + *options.data +
                                   "\": give a number from 0 to 4294967295, in decimal or in hex with 0x.");
            data = DwordData(*number);
        } else {
            return SyntaxError("Invalid type \"" + *options.type + "\"; ostrel-reg stores REG_SZ or REG_DWORD.");
        }

        const std::string& name = *options.valueName;
        if (!options.force && hive_.Query(key.path, name) &&
            !Confirm("Value " + name + " exists, overwrite(Yes/No)? ", in_, out_))
            return Cancelled();
        if (!hive_.Set(key.path, name, data))
            return Error(kAccessDenied);
        return Completed();
    }

    int Delete(const KeyName& key, const Options& options)
    {
        const std::string& name = *options.valueName;
        if (!hive_.Query(key.path, name))
            return Error(kNotFound);
        if (!options.force && !Confirm("Delete the registry value " + name + " (Yes/No)? ", in_, out_))
            return Cancelled();
        if (!hive_.Remove(key.path, name))
            return Error(kAccessDenied);
        return Completed();
    }

    RegistryHive& hive_;
    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
};

}  // namespace

int RunRegCommand(const std::vector<std::string>& args, RegistryHive& hive, std::istream& in, std::ostream& out,
                  std::ostream& err)
{
    return Runner(hive, in, out, err).Run(args);
}

}  // namespace ostrel::reg
