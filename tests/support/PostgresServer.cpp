#include "PostgresServer.h"

#include "CentralSchema.h"
#include "Files.h"
#include "PqDatabase.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace ostrel::test {
namespace {

constexpr const char* kPort = "5432";
constexpr std::chrono::seconds kPatience{60};

// The children of `parent`, from /proc.
std::vector<pid_t> ChildrenOf(pid_t parent)
{
    std::vector<pid_t> children;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        // pid (comm) state ppid ...: the command may hold spaces and parentheses.
        const size_t close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        pid_t ppid = 0;
        rest >> state >> ppid;
        if (ppid == parent)
            children.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return children;
}

bool Alive(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return false;
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

}  // namespace

std::filesystem::path PostgresPrograms()
{
    for (const char* folder : {"/usr/lib/postgresql/15/bin", "/usr/local/bin", "/usr/bin"}) {
        if (::access((std::filesystem::path(folder) / "postgres").c_str(), X_OK) == 0)
            return folder;
    }
    throw std::runtime_error("PostgreSQL 15 is not installed");
}

PostgresServer::PostgresServer() : data_(folder_ / "data")
{
    // Root may not run the server: it runs as nobody, in a folder of its own.
    if (::geteuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        if (!nobody)
            throw std::runtime_error("no user nobody to run PostgreSQL as");
        uid_ = nobody->pw_uid;
        gid_ = nobody->pw_gid;
        dropPrivileges_ = true;
        if (::chown(folder_.Path().c_str(), uid_, gid_) != 0)
            throw std::runtime_error("cannot give the server's folder to nobody");
    }
    const std::filesystem::path initdb = PostgresPrograms() / "initdb";
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("cannot fork");
    if (pid == 0) {
        const int log = ::open((folder_ / "initdb.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (log >= 0) {
            ::dup2(log, 1);
            ::dup2(log, 2);
        }
        if (::chdir(folder_.Path().c_str()) != 0)
            ::_exit(126);
        if (dropPrivileges_ && (::setgroups(0, nullptr) != 0 || ::setgid(gid_) != 0 || ::setuid(uid_) != 0))
            ::_exit(126);
        const char* argv[] = {initdb.c_str(), "-D", data_.c_str(), "-U",          "postgres",  "-A",
                              "trust",        "-E", "UTF8",        "--no-locale", "--no-sync", nullptr};
        ::execve(argv[0], const_cast<char* const*>(argv), environ);
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("initdb failed: " + ReadFileBytes(folder_ / "initdb.log").value_or(""));
    Start();
    CreateDatabase("ostrel");
}

PostgresServer::~PostgresServer()
{
    Stop();
}

std::string PostgresServer::Conninfo(const std::string& user, const std::string& database) const
{
    return "host=" + folder_.Path().string() + " port=" + kPort + " user=" + user + " dbname=" + database;
}

void PostgresServer::Start()
{
    if (pid_ > 0)
        return;
    const std::filesystem::path postgres = PostgresPrograms() / "postgres";
    const std::string socketFolder = folder_.Path().string();
    pid_ = ::fork();
    if (pid_ < 0)
        throw std::runtime_error("cannot fork");
    if (pid_ == 0) {
        const int log = ::open((folder_ / "postgres.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (log >= 0) {
            ::dup2(log, 1);
            ::dup2(log, 2);
        }
        ::setpgid(0, 0);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (::chdir(socketFolder.c_str()) != 0)
            ::_exit(126);
        if (dropPrivileges_ && (::setgroups(0, nullptr) != 0 || ::setgid(gid_) != 0 || ::setuid(uid_) != 0))
            ::_exit(126);
        // No TCP at all; the data need not outlive the machine, only a killed server.
        const char* argv[] = {postgres.c_str(),
                              "-D",
                              data_.c_str(),
                              "-k",
                              socketFolder.c_str(),
                              "-p",
                              kPort,
                              "-c",
                              "listen_addresses=",
                              "-c",
                              "fsync=off",
                              "-c",
                              "full_page_writes=off",
                              "-c",
                              "max_connections=60",
                              "-c",
                              "shared_buffers=32MB",
                              nullptr};
        ::execve(argv[0], const_cast<char* const*>(argv), environ);
        ::_exit(127);
    }
    WaitUntilReady();
}

void PostgresServer::WaitUntilReady()
{
    // The server writes "ready" as the last line of postmaster.pid once it takes connections.
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("postgres ended at its start: " +
                                     ReadFileBytes(folder_ / "postgres.log").value_or(""));
        }
        // A killed server leaves its file behind: it must name this one.
        const std::string pidFile = ReadFileBytes(data_ / "postmaster.pid").value_or("");
        if (pidFile.rfind(std::to_string(pid_) + "\n", 0) == 0 && pidFile.find("\nready") != std::string::npos &&
            std::filesystem::exists(folder_ / (std::string(".s.PGSQL.") + kPort)))
            return;
        if (std::chrono::steady_clock::now() > deadline) {
            Kill();
            throw std::runtime_error("postgres did not become ready");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void PostgresServer::Kill()
{
    if (pid_ <= 0)
        return;
    // Every process of the server at once, as when the machine's OOM killer or
    // systemd ends the service; its children would otherwise linger a moment.
    const std::vector<pid_t> children = ChildrenOf(pid_);
    ::kill(pid_, SIGKILL);
    for (pid_t child : children)
        ::kill(child, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    for (pid_t child : children) {
        while (Alive(child) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void PostgresServer::Stop()
{
    if (pid_ <= 0)
        return;
    // A fast shutdown; a server that does not end in time is killed.
    ::kill(pid_, SIGINT);
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Kill();
}

ProcessResult PostgresServer::Psql(const std::string& sql, const std::string& user, const std::string& database) const
{
    return RunProgram(PostgresPrograms() / "psql",
                      {"-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-d", Conninfo(user, database), "-c", sql},
                      {{"PGCONNECT_TIMEOUT", "10"}});
}

std::vector<std::vector<std::string>> PostgresServer::Rows(const std::string& sql, const std::string& user,
                                                           const std::string& database) const
{
    // Separators no job text holds, so that any value comes back whole.
    const ProcessResult result = RunProgram(PostgresPrograms() / "psql",
                                            {"-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-F", "\x1f", "-R",
                                             "\x1e", "-d", Conninfo(user, database), "-c", sql},
                                            {{"PGCONNECT_TIMEOUT", "10"}});
    if (result.exitCode != 0)
        throw std::runtime_error("psql failed: " + result.err + " for: " + sql);
    std::vector<std::vector<std::string>> rows;
    std::string out = result.out;
    if (!out.empty() && out.back() == '\n')
        out.pop_back();
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\x1e', start);
        if (end == std::string::npos)
            end = out.size();
        std::vector<std::string> row;
        const std::string line = out.substr(start, end - start);
        size_t field = 0;
        for (;;) {
            const size_t next = line.find('\x1f', field);
            row.push_back(line.substr(field, next == std::string::npos ? std::string::npos : next - field));
            if (next == std::string::npos)
                break;
            field = next + 1;
        }
        rows.push_back(std::move(row));
        start = end + 1;
    }
    return rows;
}

std::string PostgresServer::Query(const std::string& sql, const std::string& database) const
{
    const ProcessResult result = Psql(sql, "postgres", database);
    if (result.exitCode != 0)
        throw std::runtime_error("psql failed: " + result.err + " for: " + sql);
    return result.out;
}

void PostgresServer::CreateDatabase(const std::string& name) const
{
    Query("CREATE DATABASE \"" + name + "\"", "postgres");
}

void PostgresServer::ApplySchema(const std::string& database) const
{
    const auto opened = MakePqDatabase()->Open(Conninfo("postgres", database));
    if (!opened.connection)
        throw std::runtime_error("cannot connect: " + opened.error);
    const SchemaOutcome outcome =
        ApplyCentralSchema(*opened.connection, std::filesystem::path(OSTREL_SOURCE_DIR) / "data" / "central");
    if (outcome.error)
        throw std::runtime_error("schema: " + *outcome.error);
}

}  // namespace ostrel::test
