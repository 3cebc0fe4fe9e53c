#include "ReportCommand.h"

#include "Files.h"
#include "ReportAccess.h"
#include "ReportDocument.h"
#include "ReportEvents.h"
#include "ReportRenderer.h"

#include <sys/stat.h>

#include <optional>
#include <ostream>
#include <string_view>

namespace ostrel::report {
namespace {

constexpr std::string_view kUsage =
    "Usage: ostrel-report [--printer NAME | --user NAME | --all] [--period NAME]\n"
    "                     [--format html|xml|csv] [-o FILE]\n"
    "Writes a report of the recorded print jobs: by default the machine-wide\n"
    "report of today, as HTML, to standard output.\n"
    "  --printer NAME   the report of one monitored printer\n"
    "  --user NAME      the report of one user\n"
    "  --all            the machine-wide report (the default)\n"
    "  --period NAME    one of: Today (the default), Yesterday, This week,\n"
    "                   Last week, This month, Last month, This quarter,\n"
    "                   Last quarter, This semester, Last semester,\n"
    "                   This year, Last year\n"
    "  --format FORMAT  html (rendered through the report's stylesheet, the\n"
    "                   default), xml (the report document) or csv\n"
    "  -o FILE          write the report to FILE instead of standard output\n";

enum class Format { Html, Xml, Csv };

struct Options {
    ReportRequest request{{ReportKind::Aggregated, {}, false}, "Today"};
    Format format = Format::Html;
    std::optional<std::string> output;
    bool help = false;
};

struct ParseResult {
    std::optional<Options> options;
    std::string error;
};

ParseResult Parse(const std::vector<std::string>& args)
{
    Options options;
    bool subjectGiven = false;
    const auto fail = [](std::string error) { return ParseResult{std::nullopt, std::move(error)}; };
    for (size_t i = 0; i < args.size(); ++i) {
        std::string option = args[i];
        std::optional<std::string> value;
        // --name=value as well as --name value.
        if (const size_t equals = option.find('='); option.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = option.substr(equals + 1);
            option.resize(equals);
        }
        const auto takeValue = [&]() -> std::optional<std::string> {
            if (value)
                return value;
            if (i + 1 < args.size())
                return args[++i];
            return std::nullopt;
        };
        if (option == "--help" || option == "-h") {
            options.help = true;
        } else if (option == "--printer" || option == "--user" || option == "--all") {
            if (subjectGiven)
                return fail("give one of --printer, --user and --all");
            subjectGiven = true;
            if (option == "--all") {
                if (value)
                    return fail("--all takes no value");
                continue;
            }
            const std::optional<std::string> name = takeValue();
            if (!name)
                return fail(option + " needs a name");
            options.request.subject = {option == "--printer" ? ReportKind::Printer : ReportKind::User, *name, false};
        } else if (option == "--period") {
            const std::optional<std::string> period = takeValue();
            if (!period)
                return fail("--period needs a period name");
            options.request.period = *period;
        } else if (option == "--format") {
            const std::optional<std::string> format = takeValue();
            if (format == "html")
                options.format = Format::Html;
            else if (format == "xml")
                options.format = Format::Xml;
            else if (format == "csv")
                options.format = Format::Csv;
            else
                return fail("--format takes html, xml or csv");
        } else if (option == "-o" || option == "--output") {
            const std::optional<std::string> file = takeValue();
            if (!file || file->empty())
                return fail(option + " needs a file name");
            options.output = *file;
        } else {
            return fail("unknown argument '" + args[i] + "'");
        }
    }
    return {options, {}};
}

// The mode a new file gets from open(2): 0666 less the umask.
mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

int RunReportCommand(const std::vector<std::string>& args, const ReportCommandSetup& setup, std::ostream& out,
                     std::ostream& err)
{
    const ParseResult parsed = Parse(args);
    if (!parsed.options) {
        err << "ostrel-report: " << parsed.error << "\n" << kUsage;
        return 2;
    }
    const Options& options = *parsed.options;
    if (options.help) {
        out << kUsage;
        return 0;
    }
    // An account outside the group gets the one plain answer, not the
    // missing report that every request would otherwise meet.
    if (const std::optional<std::string> denied = ReportsDenied(setup.appFolder)) {
        err << "ostrel-report: " << *denied << "\n";
        return 1;
    }
    if (setup.appFolder.empty()) {
        err << "ostrel-report: the application folder is not set (registry value AppPath).\n";
        return 1;
    }

    ReportResult<std::string> document = PrepareReport(setup.appFolder, options.request, setup.clock);
    if (!document) {
        err << "ostrel-report: " << document.Error() << "\n";
        return 1;
    }
    std::string report;
    switch (options.format) {
    case Format::Xml:
        report = std::move(*document);
        break;
    case Format::Html: {
        ReportResult<std::string> html = RenderReport(*document, LogsFolder(setup.appFolder));
        if (!html) {
            err << "ostrel-report: " << html.Error() << "\n";
            return 1;
        }
        report = std::move(*html);
        break;
    }
    case Format::Csv: {
        ReportResult<std::vector<ReportEvent>> events = ReadReportEvents(*document);
        if (!events) {
            err << "ostrel-report: " << events.Error() << "\n";
            return 1;
        }
        report = ReportCsv(*events);
        break;
    }
    }

    if (!options.output) {
        out << report;
        out.flush();
        if (!out) {
            err << "ostrel-report: the report could not be written to standard output.\n";
            return 1;
        }
        return 0;
    }
    if (!ReplaceFile(*options.output, report, NewFileMode())) {
        err << "ostrel-report: the report could not be written to " << *options.output << ".\n";
        return 1;
    }
    return 0;
}

}  // namespace ostrel::report
