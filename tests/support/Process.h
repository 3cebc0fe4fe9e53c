#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ostrel::test {

struct ProcessResult {
    int exitCode = -1;  // -1 when killed by a signal or still running
    int signal = 0;
    std::string out;
    std::string err;
};

// A program the test starts: argv without a shell, the test's environment
// plus `env` overrides, stdin from `input`, stdout and stderr captured.
class Process {
public:
    Process(std::filesystem::path program, std::vector<std::string> args, std::map<std::string, std::string> env = {},
            std::string input = {});
    ~Process();  // kills the process if it still runs
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t Pid() const { return pid_; }
    bool Signal(int signal) const;

    // The result once the process has ended, or nothing when it is still
    // running after `patience`.
    std::optional<ProcessResult> Wait(std::chrono::milliseconds patience = std::chrono::seconds(30));

private:
    pid_t pid_ = -1;
    std::filesystem::path outFile_;
    std::filesystem::path errFile_;
};

// Runs a program to its end (at most 30 s) and returns what it did.
ProcessResult RunProgram(const std::filesystem::path& program, std::vector<std::string> args,
                         std::map<std::string, std::string> env = {}, std::string input = {});

// Path of a program of the build (the build folder's `bin`).
std::filesystem::path BuiltProgram(const std::string& name);

}  // namespace ostrel::test
