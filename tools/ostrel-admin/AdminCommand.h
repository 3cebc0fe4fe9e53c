#pragma once

#include "AdminStatus.h"
#include "ProcessLauncher.h"
#include "Spooler.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace ostrel::admin {

// What the commands work on. The program fills it with the machine's own;
// the tests with theirs.
struct Environment {
    std::string appFolder;  // AppPath; empty when it is not set
    Spooler& spooler;
    std::ostream& out;
    std::ostream& err;
    // Why this user's changes cannot be saved (WhyChangesCannotBeSaved), or nothing.
    std::function<std::optional<std::string>()> denial;
    // The mail password: one line of standard input; nothing at its end.
    std::function<std::optional<std::string>()> readPassword;
    // Runs the mailer to its end (RunToEnd).
    std::function<FinishedProgram(const std::filesystem::path&)> runProgram;
    // Whether kestrun-host runs (FindDaemon).
    std::function<DaemonState()> host;
};

// Exit statuses.
inline constexpr int kDone = 0;
inline constexpr int kFailed = 1;  // refused or failed; one line on standard error says why
inline constexpr int kUsage = 2;   // not a command line ostrel-admin takes

// One run of ostrel-admin with its arguments (without the program name).
int Run(const std::vector<std::string>& args, Environment& environment);

}  // namespace ostrel::admin
