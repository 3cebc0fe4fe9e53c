#include "ProcessLauncher.h"

#include "FileDescriptor.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

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

// A folder on the way to a program root starts: root's, and no one else may
// change what it holds (or, sticky like /tmp, no one may change root's
// entries in it).
bool TrustedFolder(int fd)
{
    struct stat status {};
    return ::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == 0 &&
           ((status.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (status.st_mode & S_ISVTX) != 0);
}

// The program opened for root, and the path that reaches it.
struct CheckedProgram {
    FileDescriptor fd;
    std::string path;
};

// The application folder is the administrators' group's to write, and the
// mailer is installed there as a link to the installed program. The link
// is read once; its target must be absolute (a relative one would be looked
// up in the group's folder), and once resolved it is walked again from "/"
// without following anything, each folder trusted, so that it lies outside
// any tree the group may write. The file is then checked on the descriptor
// it is started from.
std::optional<CheckedProgram> OpenForRoot(const std::filesystem::path& program)
{
    const std::string name = program.filename().string();
    const std::filesystem::path folder = program.has_parent_path() ? program.parent_path() : ".";
    if (name.empty())
        return std::nullopt;
    FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat entry {};
    if (!directory.Valid() || ::fstatat(directory.Get(), name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    std::filesystem::path target = folder / name;
    if (S_ISLNK(entry.st_mode)) {
        char text[PATH_MAX];
        const ssize_t length = ::readlinkat(directory.Get(), name.c_str(), text, sizeof text);
        if (length <= 0 || static_cast<std::size_t>(length) >= sizeof text || text[0] != '/')
            return std::nullopt;
        target = std::string(text, static_cast<std::size_t>(length));
    }
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::canonical(target, error);
    if (error || resolved.filename() != name)
        return std::nullopt;

    FileDescriptor current(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!current.Valid() || !TrustedFolder(current.Get()))
        return std::nullopt;
    for (const std::filesystem::path& part : resolved.parent_path().relative_path()) {
        constexpr int kFolder = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        current = FileDescriptor(::openat(current.Get(), part.c_str(), kFolder));
        if (!current.Valid() || !TrustedFolder(current.Get()))
            return std::nullopt;
    }
    FileDescriptor file(::openat(current.Get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (!file.Valid() || ::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != 0 ||
        (status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return std::nullopt;
    return CheckedProgram{std::move(file), resolved.string()};
}

// What the child executes. A compiled program is started from the checked
// descriptor itself: the kernel opens /proc/self/fd/N before it closes the
// descriptor on exec. A script cannot be (its interpreter would need the
// descriptor after exec and would see that name as the script's own), so
// it is started by its resolved path, which no one but root can change: the
// walk found every folder on it trusted.
std::string ExecutedPath(const CheckedProgram& program)
{
    char magic[4] = {};
    if (::pread(program.fd.Get(), magic, sizeof magic, 0) == static_cast<ssize_t>(sizeof magic) &&
        std::string_view(magic, sizeof magic) ==
            "\x7f"
            "ELF")
        return "/proc/self/fd/" + std::to_string(program.fd.Get());
    return program.path;
}

}  // namespace

bool SafeForRootToStart(const std::filesystem::path& program)
{
    return OpenForRoot(program).has_value();
}

SpawnProcessLauncher::~SpawnProcessLauncher()
{
    std::lock_guard lock(mutex_);
    ReapFinishedLocked();
}

namespace {

// Spawns `program` as every start of ours does; `prepare` adds file actions.
// -1 when it cannot be started.
pid_t Spawn(const std::filesystem::path& program, const std::vector<std::string>& arguments,
            const std::function<void(posix_spawn_file_actions_t&)>& prepare)
{
    std::optional<CheckedProgram> checked;
    if (::geteuid() == 0) {
        checked = OpenForRoot(program);
        if (!checked)
            return -1;
    }

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
    if (prepare)
        prepare(setup.actions);

    std::string name = program.string();
    const std::string executed = checked ? ExecutedPath(*checked) : name;
    std::vector<std::string> texts = arguments;
    std::vector<char*> argv{name.data()};
    for (std::string& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, executed.c_str(), &setup.actions, &setup.attributes, argv.data(), environ) != 0)
        return -1;
    return pid;
}

}  // namespace

bool SpawnProcessLauncher::Start(const std::filesystem::path& program)
{
    std::lock_guard lock(mutex_);
    ReapFinishedLocked();
    const pid_t pid = Spawn(program, {}, {});
    if (pid < 0)
        return false;
    children_.push_back(pid);
    return true;
}

FinishedProgram RunToEnd(const std::filesystem::path& program, const std::vector<std::string>& arguments)
{
    FinishedProgram result;
    int pipeEnds[2] = {-1, -1};
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return result;
    FileDescriptor readEnd(pipeEnds[0]);
    FileDescriptor writeEnd(pipeEnds[1]);
    const pid_t pid = Spawn(program, arguments, [&](posix_spawn_file_actions_t& actions) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), 2);
    });
    writeEnd = FileDescriptor();
    if (pid < 0)
        return result;
    result.started = true;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(readEnd.Get(), buffer, sizeof buffer);
        if (got > 0)
            result.errors.append(buffer, static_cast<std::size_t>(got));
        else if (got == 0 || errno != EINTR)
            break;
    }
    int status = 0;
    pid_t done = 0;
    do {
        done = ::waitpid(pid, &status, 0);
    } while (done < 0 && errno == EINTR);
    if (done == pid && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
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
