#include "Process.h"

#include "Files.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace ostrel::test {
namespace {

std::filesystem::path CaptureFile(const char* stream)
{
    std::string pattern =
        (std::filesystem::temp_directory_path() / ("ostrel-" + std::string(stream) + "-XXXXXX")).string();
    int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        throw std::runtime_error("cannot create a capture file");
    ::close(fd);
    return pattern;
}

}  // namespace

Process::Process(std::filesystem::path program, std::vector<std::string> args, std::map<std::string, std::string> env,
                 std::string input)
    : outFile_(CaptureFile("out")), errFile_(CaptureFile("err"))
{
    const std::filesystem::path inFile = CaptureFile("in");
    ostrel::ReplaceFile(inFile, input, 0600);

    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry; ++entry) {
        std::string text(*entry);
        const size_t equals = text.find('=');
        if (equals != std::string::npos)
            merged[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (auto& [name, value] : env)
        merged[name] = value;
    std::vector<std::string> envTexts;
    for (auto& [name, value] : merged)
        envTexts.push_back(name + "=" + value);

    std::vector<std::string> argTexts{program.string()};
    argTexts.insert(argTexts.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (auto& text : argTexts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    for (auto& text : envTexts)
        envp.push_back(text.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inFile.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile_.c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errFile_.c_str(), O_WRONLY | O_TRUNC, 0);
    // The child starts with no blocked signals, whatever the test's threads block.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    const int failed = ::posix_spawn(&pid_, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    std::filesystem::remove(inFile);
    if (failed) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + program.string());
    }
}

Process::~Process()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    std::error_code ignored;
    std::filesystem::remove(outFile_, ignored);
    std::filesystem::remove(errFile_, ignored);
}

bool Process::Signal(int signal) const
{
    return pid_ > 0 && ::kill(pid_, signal) == 0;
}

std::optional<ProcessResult> Process::Wait(std::chrono::milliseconds patience)
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_)
            break;
        if (done < 0 || std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
    ProcessResult result;
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    result.out = ostrel::ReadFileBytes(outFile_).value_or("");
    result.err = ostrel::ReadFileBytes(errFile_).value_or("");
    return result;
}

ProcessResult RunProgram(const std::filesystem::path& program, std::vector<std::string> args,
                         std::map<std::string, std::string> env, std::string input)
{
    Process process(program, std::move(args), std::move(env), std::move(input));
    auto result = process.Wait();
    if (!result)
        throw std::runtime_error(program.string() + " did not end within 30 s");
    return *result;
}

std::filesystem::path BuiltProgram(const std::string& name)
{
    return std::filesystem::path(OSTREL_BIN_DIR) / name;
}

}  // namespace ostrel::test
