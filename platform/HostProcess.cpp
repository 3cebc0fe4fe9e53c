#include "HostProcess.h"

#include "ProcessLauncher.h"

#include <charconv>
#include <filesystem>
#include <fstream>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

bool UnitActive(std::string_view unit)
{
    std::error_code error;
    if (!fs::is_directory("/run/systemd/system", error))
        return false;
    for (const char* systemctl : {"/usr/bin/systemctl", "/bin/systemctl"}) {
        if (!fs::exists(systemctl, error))
            continue;
        const FinishedProgram answer = RunToEnd(systemctl, {"is-active", "--quiet", std::string(unit)});
        return answer.started && answer.exitCode == 0;
    }
    return false;
}

// A live process named `program`: its comm, which the kernel cuts to 15
// bytes, and not a zombie.
bool ProcessRuns(std::string_view program)
{
    std::error_code error;
    for (fs::directory_iterator entry("/proc", error), end; !error && entry != end; entry.increment(error)) {
        const std::string pid = entry->path().filename().string();
        unsigned number = 0;
        if (std::from_chars(pid.data(), pid.data() + pid.size(), number).ec != std::errc())
            continue;
        std::ifstream stat(entry->path() / "stat");
        std::string line;
        if (!std::getline(stat, line))
            continue;
        const std::size_t open = line.find('(');
        const std::size_t close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close < open || close + 2 >= line.size())
            continue;
        const std::string_view comm(line.data() + open + 1, close - open - 1);
        if (comm == program.substr(0, 15) && line[close + 2] != 'Z')
            return true;
    }
    return false;
}

}  // namespace

DaemonState FindDaemon(std::string_view unit, std::string_view program)
{
    if (UnitActive(unit))
        return {true, "systemd"};
    return {ProcessRuns(program), "process list"};
}

}  // namespace ostrel
