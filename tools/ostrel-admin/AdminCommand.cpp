#include "AdminCommand.h"

#include "ApplicationFolder.h"
#include "DocumentNames.h"
#include "EPrinter.h"
#include "MailSettings.h"
#include "MonitoredList.h"
#include "MonitoringSwitch.h"
#include "PrinterList.h"
#include "SafeText.h"
#include "SettingsDocument.h"
#include "SettingsEdits.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <map>
#include <set>

namespace ostrel::admin {
namespace {

constexpr const char* kUsageText =
    "usage: ostrel-admin printers [--json]\n"
    "       ostrel-admin monitor NAME [--cost CENTS]\n"
    "       ostrel-admin unmonitor NAME\n"
    "       ostrel-admin cost NAME CENTS\n"
    "       ostrel-admin start | stop\n"
    "       ostrel-admin status [--json]\n"
    "       ostrel-admin mail --to ADDRESS --from-name NAME --from ADDRESS --server HOST\n"
    "                         [--port N] [--auth METHOD] [--user NAME]   (password on standard input)\n"
    "       ostrel-admin mail --on | --off | test\n"
    "       ostrel-admin documents on | off\n";

// A command's failure: the one line that says why, and the exit status.
struct Failure {
    std::string line;
    int status = kFailed;
};

// Text for one line of a terminal: valid UTF-8, no control characters.
std::string OnOneLine(std::string_view text)
{
    std::string line = SanitizeXmlText(text);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return line;
}

std::string JsonString(std::string_view text)
{
    std::string json = "\"";
    for (const char c : SanitizeXmlText(text)) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            constexpr const char* kHex = "0123456789abcdef";
            json += "\\u00";
            json += kHex[(c >> 4) & 0xF];
            json += kHex[c & 0xF];
        } else {
            json += c;
        }
    }
    return json + "\"";
}

// A whole number of `what` from 0 to the largest signed 32-bit number, as
// the console's cost field takes it.
std::int32_t NonNegative(std::string_view text, std::string_view what)
{
    std::int32_t value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0)
        throw Failure{"the " + std::string(what) + " must be a whole number from 0 to 2147483647, not " +
                      OnOneLine(text)};
    return value;
}

class Commands {
public:
    explicit Commands(Environment& environment) : env_(environment) {}

    int Dispatch(const std::vector<std::string>& args);

private:
    void Printers(bool json);
    void Monitor(const std::string& name, std::optional<std::int32_t> cost);
    void Unmonitor(const std::string& name);
    void Cost(const std::string& name, std::int32_t cost);
    void Switch(bool on);
    void Status(bool json);
    void Mail(const std::vector<std::string>& options);
    void MailTest();
    void Documents(bool record);

    // The application folder; refused when AppPath is not set, since every
    // document would then be looked for at the root.
    const std::string& AppFolder() const;
    std::string Document() const { return SettingsDocument::InFolder(AppFolder()).Read(); }
    std::vector<std::string> SchedulerPrinters() const;
    // The scheduler's own spelling of `name`: the same name, or the one
    // name that differs only in case, as CUPS finds its queues.
    std::optional<std::string> SchedulerName(const std::string& name) const;
    // Before every change: nothing is written without the rights to.
    void NeedRights() const;

    Environment& env_;
};

const std::string& Commands::AppFolder() const
{
    if (env_.appFolder.empty())
        throw Failure{"the registry value AppPath names no application folder; run ostrel-setup first"};
    return env_.appFolder;
}

std::vector<std::string> Commands::SchedulerPrinters() const
{
    try {
        return EnumeratePrinters(env_.spooler);
    } catch (const EPrinter& error) {
        throw Failure{error.Message()};
    }
}

std::optional<std::string> Commands::SchedulerName(const std::string& name) const
{
    const std::vector<std::string> names = SchedulerPrinters();
    if (std::find(names.begin(), names.end(), name) != names.end())
        return name;
    std::optional<std::string> found;
    for (const std::string& candidate : names) {
        if (!MonitoredList::SameName(candidate, name))
            continue;
        if (found)
            return std::nullopt;  // two names that differ only in case: ask for the exact one
        found = candidate;
    }
    return found;
}

void Commands::NeedRights() const
{
    if (env_.denial)
        if (const std::optional<std::string> denial = env_.denial())
            throw Failure{*denial};
}

int Commands::Dispatch(const std::vector<std::string>& args)
{
    const auto usage = [] { return Failure{"", kUsage}; };
    if (args.empty())
        throw usage();
    const std::string& command = args[0];
    const std::size_t count = args.size();
    if (command == "-h" || command == "--help" || command == "help") {
        env_.out << kUsageText;
        return kDone;
    }
    if (command == "printers" || command == "status") {
        if (count > 2 || (count == 2 && args[1] != "--json"))
            throw usage();
        command == "printers" ? Printers(count == 2) : Status(count == 2);
    } else if (command == "monitor") {
        if (count == 2)
            Monitor(args[1], std::nullopt);
        else if (count == 4 && args[2] == "--cost")
            Monitor(args[1], NonNegative(args[3], "cost"));
        else
            throw usage();
    } else if (command == "unmonitor" && count == 2) {
        Unmonitor(args[1]);
    } else if (command == "cost" && count == 3) {
        Cost(args[1], NonNegative(args[2], "cost"));
    } else if ((command == "start" || command == "stop") && count == 1) {
        Switch(command == "start");
    } else if (command == "mail" && count == 2 && args[1] == "test") {
        MailTest();
    } else if (command == "mail" && count == 2 && (args[1] == "--on" || args[1] == "--off")) {
        NeedRights();
        SwitchEmailReport(args[1] == "--on");
    } else if (command == "documents" && count == 2 && (args[1] == "on" || args[1] == "off")) {
        Documents(args[1] == "on");
    } else if (command == "mail" && count > 1) {
        Mail({args.begin() + 1, args.end()});
    } else {
        throw usage();
    }
    return kDone;
}

// The printers page's two lists in one: every printer of the scheduler, and
// every printer settings.xml monitors that the scheduler no longer has.
void Commands::Printers(bool json)
{
    const std::vector<std::string> scheduler = SchedulerPrinters();
    const std::string document = Document();
    const auto configured = settings_text::ConfiguredPrinters(document);

    struct Line {
        std::string name;
        bool known = true;
        bool monitored = false;
        std::optional<std::int32_t> cost;
    };
    std::vector<Line> lines;
    std::set<std::string> shown;
    for (const std::string& name : scheduler) {
        Line line{name, true, false, std::nullopt};
        // The entry of the same name, as settings.xml keeps names.
        for (const auto& entry : configured) {
            if (!MonitoredList::SameName(entry.name, name))
                continue;
            line.monitored = line.monitored || entry.monitored;
            line.cost = settings_text::CostOf(document, entry.name);
            shown.insert(entry.name);
        }
        lines.push_back(line);
    }
    for (const auto& entry : configured)
        if (entry.monitored && !shown.contains(entry.name)) {
            lines.push_back({entry.name, false, true, settings_text::CostOf(document, entry.name)});
            shown.insert(entry.name);
        }
    // Sorted as the printers page's list shows them.
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) { return a.name < b.name; });

    if (json) {
        env_.out << '[';
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const Line& line = lines[i];
            env_.out << (i ? "," : "") << "{\"name\":" << JsonString(line.name)
                     << ",\"monitored\":" << (line.monitored ? "true" : "false")
                     << ",\"cost\":" << (line.cost ? std::to_string(*line.cost) : "null")
                     << ",\"scheduler\":" << (line.known ? "true" : "false") << '}';
        }
        env_.out << "]\n";
        return;
    }
    for (const Line& line : lines) {
        env_.out << OnOneLine(line.name) << ": " << (line.monitored ? "monitored" : "not monitored");
        if (line.cost)
            env_.out << ", " << *line.cost << (*line.cost == 1 ? " cent" : " cents") << " per page";
        if (!line.known)
            env_.out << ", not known to the scheduler";
        env_.out << '\n';
    }
}

// The printers page's Add and Apply, then, with a cost, the settings page's
// Apply of that cost.
void Commands::Monitor(const std::string& name, std::optional<std::int32_t> cost)
{
    const std::string& folder = AppFolder();
    const std::optional<std::string> printer = SchedulerName(name);
    if (!printer)
        throw Failure{"the scheduler has no printer " + OnOneLine(name)};
    MonitoredList list(MonitoredList::ConfiguredLimit());
    list.Load(Document());
    if (list.Add(*printer) == MonitoredList::AddResult::LimitReached)
        throw Failure{MonitoredList::LimitMessage(list.Limit())};
    NeedRights();
    settings_edits::ApplyPrinters(folder, list.Rows());
    if (cost)
        settings_edits::ApplyCost(folder, StripXmlSpecials(list.Rows()[*list.IndexOf(*printer)].name), *cost);
}

// The printers page's Remove and Apply.
void Commands::Unmonitor(const std::string& name)
{
    const std::string& folder = AppFolder();
    MonitoredList list(MonitoredList::ConfiguredLimit());
    list.Load(Document());
    const std::optional<std::size_t> row = list.IndexOf(name);
    if (!row) {
        // Not monitored: done already, for a printer there is.
        if (!SchedulerName(name))
            throw Failure{"the scheduler has no printer " + OnOneLine(name) + ", and none of that name is monitored"};
        return;
    }
    NeedRights();
    list.Remove(*row);
    settings_edits::ApplyPrinters(folder, list.Rows());
}

// The settings page's Apply, for a printer its list offers: a monitored one.
void Commands::Cost(const std::string& name, std::int32_t cost)
{
    const std::string& folder = AppFolder();
    MonitoredList list;
    list.Load(Document());
    const std::optional<std::size_t> row = list.IndexOf(name);
    if (!row) {
        if (!SchedulerName(name))
            throw Failure{"the scheduler has no printer " + OnOneLine(name)};
        throw Failure{OnOneLine(name) + " is not monitored; ostrel-admin monitor " + OnOneLine(name) + " --cost " +
                      std::to_string(cost) + " monitors it at that cost"};
    }
    NeedRights();
    settings_edits::ApplyCost(folder, StripXmlSpecials(list.Rows()[*row].name), cost);
}

// The status page's Start and Stop.
void Commands::Switch(bool on)
{
    NeedRights();
    MonitoringSwitch().Switch(on);
}

void Commands::Status(bool json)
{
    AdminStatus status;
    status.appRuns = MonitoringSwitch::AppRuns();
    if (env_.host)
        status.host = env_.host();
    status.lastRecord = LastRecordTime(AppFolder());
    status.documentNames = RecordsDocumentNames();
    status.centralStore = CentralStoreState();

    const bool monitoring = status.appRuns == 1;
    if (json) {
        env_.out << "{\"monitoring\":" << (monitoring ? "true" : "false") << ",\"appRuns\":" << status.appRuns
                 << ",\"host\":{\"running\":" << (status.host.running ? "true" : "false")
                 << ",\"foundBy\":" << JsonString(status.host.foundBy)
                 << "},\"lastRecord\":" << (status.lastRecord ? JsonString(*status.lastRecord) : "null")
                 << ",\"documentNames\":" << (status.documentNames ? "true" : "false");
        if (status.centralStore)
            env_.out << ",\"centralStore\":" << JsonString(*status.centralStore);
        env_.out << "}\n";
        return;
    }
    // The status page's own words for the switch.
    env_.out << "application status: " << (monitoring ? "Monitoring" : "NOT Monitoring") << '\n';
    env_.out << "kestrun-host: " << (status.host.running ? "running" : "not running");
    if (!status.host.foundBy.empty())
        env_.out << " (" << status.host.foundBy << ")";
    env_.out << '\n';
    env_.out << "last record: " << (status.lastRecord ? OnOneLine(*status.lastRecord) : "none") << '\n';
    env_.out << "document names: " << (status.documentNames ? "recorded" : "not recorded") << '\n';
    if (status.centralStore)
        env_.out << OnOneLine(*status.centralStore) << '\n';
}

// The settings page's switch of document names in the records.
void Commands::Documents(bool record)
{
    NeedRights();
    if (!SetRecordsDocumentNames(record))
        throw Failure{"RecordDocumentNames could not be written to the registry store"};
}

// The e-mail dialog's Modify: the values given, the others as stored.
void Commands::Mail(const std::vector<std::string>& options)
{
    static const std::set<std::string> kKnown = {"--to",   "--from-name", "--from", "--server",
                                                 "--port", "--auth",      "--user"};
    std::map<std::string, std::string> given;
    for (std::size_t i = 0; i < options.size(); i += 2) {
        if (!kKnown.contains(options[i]) || i + 1 >= options.size() || given.contains(options[i]))
            throw Failure{"", kUsage};
        given[options[i]] = options[i + 1];
    }
    for (const char* needed : {"--to", "--from-name", "--from", "--server"})
        if (!given.contains(needed))
            throw Failure{std::string("mail needs ") + needed + "; the password comes from standard input"};

    MailSettings settings = LoadMailSettings();
    settings.recipient = given["--to"];
    settings.senderName = given["--from-name"];
    settings.senderAddress = given["--from"];
    settings.server = given["--server"];
    if (given.contains("--port")) {
        // The dialog's port field: a signed 32-bit number, stored as its DWORD.
        std::int32_t port = 0;
        const std::string& text = given["--port"];
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
        if (text.empty() || error != std::errc() || end != text.data() + text.size())
            throw Failure{"the port must be a whole number, not " + OnOneLine(text)};
        settings.port = static_cast<std::uint32_t>(port);
    } else if (settings.port == 0) {
        settings.port = 25;  // as the dialog's Defaults
    }
    if (given.contains("--auth"))
        settings.authMethod = given["--auth"];
    if (given.contains("--user"))
        settings.userName = given["--user"];
    if (const std::optional<std::string> problem = RecipientProblem(settings.recipient))
        throw Failure{*problem};
    NeedRights();
    // A server without login needs no password; the stored one stays.
    if (ParseAuthMethod(settings.authMethod) != AuthMethod::None) {
        const std::optional<std::string> password = env_.readPassword ? env_.readPassword() : std::nullopt;
        if (!password)
            throw Failure{"no password on standard input; give it there, or --auth None"};
        settings.password = *password;
    }
    SaveMailSettings(settings);
}

// The e-mail dialog's Test Email, which waits for the mailer here and tells
// what became of the message.
void Commands::MailTest()
{
    const std::string& folder = AppFolder();
    NeedRights();
    if (!NameTestMessage(folder))
        throw Failure{std::string(kNoTestFileMessage)};
    const std::filesystem::path relayer = InApplicationFolder(folder, "Relayer");
    const FinishedProgram run = env_.runProgram(relayer);
    if (!run.started)
        throw Failure{"cannot start the mailer " + relayer.string()};
    if (run.exitCode == 0)
        return;
    // The mailer's last line of complaint, without the syslog tag before it.
    std::string reason;
    std::size_t start = 0;
    while (start < run.errors.size()) {
        std::size_t end = run.errors.find('\n', start);
        if (end == std::string::npos)
            end = run.errors.size();
        std::string line = run.errors.substr(start, end - start);
        if (line.starts_with("Relayer")) {
            const std::size_t tag = line.find("]: ");
            if (tag != std::string::npos && tag < 24)
                line.erase(0, tag + 3);
        }
        if (!line.empty())
            reason = line;
        start = end + 1;
    }
    if (reason.empty())
        reason = run.exitCode < 0 ? "the mailer was ended by a signal"
                                  : "the mailer ended with status " + std::to_string(run.exitCode);
    throw Failure{"the test message was not sent: " + OnOneLine(reason)};
}

}  // namespace

int Run(const std::vector<std::string>& args, Environment& environment)
{
    try {
        return Commands(environment).Dispatch(args);
    } catch (const Failure& failure) {
        if (failure.status == kUsage)
            environment.err << kUsageText;
        else
            environment.err << "ostrel-admin: " << failure.line << '\n';
        return failure.status;
    }
}

}  // namespace ostrel::admin
