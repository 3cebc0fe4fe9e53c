#pragma once

#include "Clock.h"
#include "SqlDatabase.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace ostrel::report {

// What the command reads besides its arguments.
struct ReportCommandSetup {
    std::string appFolder;  // from the registry value AppPath, without a trailing '/'
    const Clock& clock;
    // The central store: the connection string of the registry value
    // CentralDatabase (empty when none), and where sessions are opened.
    std::string centralDatabase = {};
    SqlDatabase* database = nullptr;
};

// Runs one ostrel-report command line (`args` without the program name):
//   [--printer NAME | --user NAME | --all] [--period NAME]
//   [--format html|xml|csv] [-o FILE]
//   [--central [--server NAME|all] [--database CONNINFO]]
// The report goes to `out` or to FILE, messages to `err`. Returns the exit
// code: 0 for a report written, 1 when there is no report (the message
// says why: the console's own text), 2 for a command line it cannot use.
int RunReportCommand(const std::vector<std::string>& args, const ReportCommandSetup& setup, std::ostream& out,
                     std::ostream& err);

}  // namespace ostrel::report
