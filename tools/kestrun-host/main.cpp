// kestrun-host: loads libKestrun.so and runs its entry until SIGTERM or
// SIGINT. The library waits for those signals itself; the host blocks them
// before anything else so that no thread is ever killed by one.

#include <dlfcn.h>
#include <signal.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The library beside the host (the build tree), then in the installed layout.
std::vector<fs::path> LibraryCandidates()
{
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    const fs::path folder = error ? fs::current_path() : self.parent_path();
    return {folder / "libKestrun.so", folder / OSTREL_HOST_TO_LIBRARY / "libKestrun.so"};
}

void Complain(const std::string& text)
{
    std::fprintf(stderr, "kestrun-host: %s\n", text.c_str());
    syslog(LOG_ERR, "%s", text.c_str());
}

size_t ThreadCount()
{
    std::error_code error;
    size_t count = 0;
    for (fs::directory_iterator task("/proc/self/task", error), end; !error && task != end; task.increment(error))
        ++count;
    return count;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1) {
        std::fprintf(stderr, "usage: %s\nRuns the Ostrel monitor until SIGTERM or SIGINT.\n", argv[0]);
        return 2;
    }
    openlog("kestrun-host", LOG_PID, LOG_DAEMON);

    sigset_t quit;
    sigemptyset(&quit);
    sigaddset(&quit, SIGTERM);
    sigaddset(&quit, SIGINT);
    pthread_sigmask(SIG_BLOCK, &quit, nullptr);

    void* library = nullptr;
    std::string failures;
    for (const fs::path& candidate : LibraryCandidates()) {
        if (!fs::exists(candidate))
            continue;
        library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library)
            break;
        failures += std::string(" ") + dlerror();
    }
    if (!library) {
        Complain("cannot load libKestrun.so:" + (failures.empty() ? std::string(" not found") : failures));
        return 1;
    }
    using Entry = void (*)();
    auto entry = reinterpret_cast<Entry>(dlsym(library, "ostrel"));
    if (!entry) {
        Complain("libKestrun.so has no entry ostrel");
        return 1;
    }

    entry();

    // The monitor stops every thread it started before its entry returns.
    if (const size_t threads = ThreadCount(); threads != 1) {
        Complain("the monitor left " + std::to_string(threads - 1) + " thread(s) running");
        return 3;
    }
    dlclose(library);
    return 0;
}
