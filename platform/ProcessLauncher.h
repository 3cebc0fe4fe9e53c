#pragma once

#include <sys/types.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace ostrel {

// Starts helper programs (the mailer) the way the system starts them: the
// program's own path, no arguments, never through a shell. The child gets
// the caller's environment (the registry root among it), stdin from
// /dev/null, no blocked signals, and runs on by itself; the launcher does
// not wait for it. Thread-safe.
class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;

    // False when the program could not be started (missing, not executable).
    virtual bool Start(const std::filesystem::path& program) = 0;

    // Collects the exit status of every started program that has ended, so
    // that none stays behind as a zombie. Start does it too.
    virtual void ReapFinished() = 0;
};

// Whether root may start `program`: once links are resolved it is a file of
// root's that nobody else may change, in folders that nobody else may change
// (root's, not writable by group or others unless sticky), and it still
// bears the name it was asked for. A link in its place is read once and
// must name an absolute path. The folder that names the program comes from
// a registry value the administrators' group may write, and that folder is
// theirs to write too; without this, any of them could have root run a
// program of theirs, or any program of the machine.
bool SafeForRootToStart(const std::filesystem::path& program);

// posix_spawn. It waits only for the children it started itself, never for
// any other child of the process. Run as root, it starts only programs
// that are SafeForRootToStart, from the descriptor it checked (a script,
// from the path it checked).
class SpawnProcessLauncher final : public ProcessLauncher {
public:
    SpawnProcessLauncher() = default;
    ~SpawnProcessLauncher() override;
    SpawnProcessLauncher(const SpawnProcessLauncher&) = delete;
    SpawnProcessLauncher& operator=(const SpawnProcessLauncher&) = delete;

    bool Start(const std::filesystem::path& program) override;
    void ReapFinished() override;

    // Children started and not yet reaped.
    std::size_t Unreaped() const;

private:
    void ReapFinishedLocked();

    mutable std::mutex mutex_;
    std::vector<pid_t> children_;
};

// A program that ran to its end.
struct FinishedProgram {
    bool started = false;
    int exitCode = -1;   // -1 when a signal ended it
    std::string errors;  // what it wrote to its standard error
};

// Starts `program` with `arguments` as SpawnProcessLauncher does (its own
// path, no shell, stdin from /dev/null, root only programs that are
// SafeForRootToStart), its standard output discarded, and waits for its
// end. For the administrator's commands, which report what a helper did.
FinishedProgram RunToEnd(const std::filesystem::path& program, const std::vector<std::string>& arguments = {});

// The process-wide launcher.
ProcessLauncher& SystemProcessLauncher();

}  // namespace ostrel
