#include "ProcessLauncher.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>

extern char** environ;

namespace ostrel {
namespace {

// Frees a spawn attribute object and a file action list on every path out.
struct SpawnSetup {
    SpawnSetup()
    {
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_init(&actions);
    }
    ~SpawnSetup()
    {
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
};

}  // namespace

bool SafeForRootToStart(const std::filesystem::path& program)
{
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::canonical(program, error);
    if (error || resolved.filename() != program.filename())
        return false;
    struct stat status {};
    return ::stat(resolved.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == 0 &&
           (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

SpawnProcessLauncher::~SpawnProcessLauncher()
{
    std::lock_guard lock(mutex_);
    ReapFinishedLocked();
}

bool SpawnProcessLauncher::Start(const std::filesystem::path& program)
{
    std::lock_guard lock(mutex_);
    ReapFinishedLocked();
    if (::geteuid() == 0 && !SafeForRootToStart(program))
        return false;

    SpawnSetup setup;
    // The host blocks its quit signals in every thread; the child must not
    // inherit that, nor any handler the host installed.
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    posix_spawnattr_setsigdefault(&setup.attributes, &all);
    posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);

    std::string path = program.string();
    char* argv[] = {path.data(), nullptr};
    pid_t pid = -1;
    if (::posix_spawn(&pid, path.c_str(), &setup.actions, &setup.attributes, argv, environ) != 0)
        return false;
    children_.push_back(pid);
    return true;
}

void SpawnProcessLauncher::ReapFinished()
{
    std::lock_guard lock(mutex_);
    ReapFinishedLocked();
}

std::size_t SpawnProcessLauncher::Unreaped() const
{
    std::lock_guard lock(mutex_);
    return children_.size();
}

void SpawnProcessLauncher::ReapFinishedLocked()
{
    std::erase_if(children_, [](pid_t pid) {
        int status = 0;
        pid_t done = 0;
        do {
            done = ::waitpid(pid, &status, WNOHANG);
        } while (done < 0 && errno == EINTR);
        // Ended, or no longer ours to wait for (SIGCHLD ignored elsewhere).
        return done == pid || (done < 0 && errno == ECHILD);
    });
}

ProcessLauncher& SystemProcessLauncher()
{
    static SpawnProcessLauncher launcher;
    return launcher;
}

}  // namespace ostrel
