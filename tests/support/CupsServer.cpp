#include "CupsServer.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace ostrel::test {
namespace {

std::filesystem::path ScriptPath()
{
    return std::filesystem::path(OSTREL_SOURCE_DIR) / "scripts" / "private-cupsd";
}

// CUPS's tools live in /usr/bin and /usr/sbin, which a test's PATH may lack.
std::filesystem::path FindTool(const std::string& name)
{
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    path += ":/usr/sbin:/usr/bin:/sbin:/bin";
    std::stringstream folders(path);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty())
            continue;
        const std::filesystem::path candidate = std::filesystem::path(folder) / name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    throw std::runtime_error("cannot find " + name);
}

std::string Describe(const std::string& what, const ProcessResult& result)
{
    return what + " failed (exit " + std::to_string(result.exitCode) + "): " + result.err + result.out;
}

std::set<unsigned long> SocketInodesOfThisProcess()
{
    std::set<unsigned long> inodes;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        unsigned long inode = 0;
        if (!error && std::sscanf(target.c_str(), "socket:[%lu]", &inode) == 1)
            inodes.insert(inode);
    }
    return inodes;
}

}  // namespace

CupsServer::CupsServer(const std::vector<std::string>& printers, const std::vector<std::string>& rawPrinters)
{
    std::vector<std::string> args{"start", folder_.Path().string()};
    args.insert(args.end(), printers.begin(), printers.end());
    if (!rawPrinters.empty()) {
        args.push_back("--raw");
        args.insert(args.end(), rawPrinters.begin(), rawPrinters.end());
    }
    const ProcessResult started = Script(args);
    if (started.exitCode != 0) {
        Script({"stop", folder_.Path().string()});
        throw std::runtime_error(Describe("private-cupsd start", started));
    }
    const std::string prefix = "CUPS_SERVER=";
    const size_t at = started.out.find(prefix);
    if (at == std::string::npos)
        throw std::runtime_error("private-cupsd start printed no server: " + started.out);
    address_ = started.out.substr(at + prefix.size());
    address_ = address_.substr(0, address_.find_first_of("\r\n"));
    port_ = std::stoi(address_.substr(address_.rfind(':') + 1));
}

CupsServer::~CupsServer()
{
    try {
        Script({"stop", folder_.Path().string()});
    } catch (...) {
        // The folder goes anyway; a scheduler left behind dies with its files.
    }
}

void CupsServer::UseInThisProcess() const
{
    ::setenv("CUPS_SERVER", address_.c_str(), 1);
}

void CupsServer::AddPrinters(const std::vector<std::string>& names)
{
    std::vector<std::string> args{"add-printer", folder_.Path().string()};
    args.insert(args.end(), names.begin(), names.end());
    const ProcessResult added = Script(args);
    if (added.exitCode != 0)
        throw std::runtime_error(Describe("private-cupsd add-printer", added));
}

void CupsServer::AddRawPrinters(const std::vector<std::string>& names)
{
    std::vector<std::string> args{"add-raw-printer", folder_.Path().string()};
    args.insert(args.end(), names.begin(), names.end());
    const ProcessResult added = Script(args);
    if (added.exitCode != 0)
        throw std::runtime_error(Describe("private-cupsd add-raw-printer", added));
}

void CupsServer::AddClass(const std::string& name, const std::vector<std::string>& members)
{
    std::vector<std::string> args{"add-class", folder_.Path().string(), name};
    args.insert(args.end(), members.begin(), members.end());
    const ProcessResult added = Script(args);
    if (added.exitCode != 0)
        throw std::runtime_error(Describe("private-cupsd add-class", added));
}

void CupsServer::SetDefault(const std::string& printer)
{
    const ProcessResult set = Tool("lpadmin", {"-h", address_, "-d", printer});
    if (set.exitCode != 0)
        throw std::runtime_error(Describe("lpadmin -d", set));
}

void CupsServer::Disable(const std::string& printer)
{
    const ProcessResult disabled = Tool("cupsdisable", {"-h", address_, printer});
    if (disabled.exitCode != 0)
        throw std::runtime_error(Describe("cupsdisable", disabled));
}

void CupsServer::Enable(const std::string& printer)
{
    const ProcessResult enabled = Tool("cupsenable", {"-h", address_, printer});
    if (enabled.exitCode != 0)
        throw std::runtime_error(Describe("cupsenable", enabled));
}

void CupsServer::Restart(bool forgetSubscriptions)
{
    std::vector<std::string> args{"restart", folder_.Path().string()};
    if (forgetSubscriptions)
        args.push_back("--forget-subscriptions");
    const ProcessResult restarted = Script(args);
    if (restarted.exitCode != 0)
        throw std::runtime_error(Describe("private-cupsd restart", restarted));
}

std::vector<std::string> CupsServer::SubmitArguments(const Job& job) const
{
    std::vector<std::string> args{"-h", address_, "-U", job.user, "-d", job.printer, "-n", std::to_string(job.copies),
                                  "-t", job.title};
    if (job.hold) {
        args.push_back("-H");
        args.push_back("hold");
    }
    args.push_back("--");
    args.push_back(job.file.string());
    return args;
}

namespace {

// "request id is PRINTER-ID (1 file(s))"
std::uint32_t SubmittedJobId(const ProcessResult& submitted)
{
    const std::string marker = "request id is ";
    const size_t at = submitted.out.find(marker);
    if (submitted.exitCode != 0 || at == std::string::npos)
        throw std::runtime_error(Describe("lp", submitted));
    const std::string request = submitted.out.substr(at + marker.size());
    const size_t end = request.find(' ');
    const size_t dash = request.rfind('-', end);
    return static_cast<std::uint32_t>(std::stoul(request.substr(dash + 1, end - dash - 1)));
}

}  // namespace

std::uint32_t CupsServer::Submit(const Job& job)
{
    return SubmittedJobId(Tool("lp", SubmitArguments(job)));
}

std::vector<std::uint32_t> CupsServer::SubmitAll(const std::vector<Job>& jobs)
{
    // lp mostly waits for the scheduler; a few at once hide its start-up.
    constexpr size_t kAtOnce = 6;
    const std::filesystem::path lp = FindTool("lp");
    std::vector<std::uint32_t> ids(jobs.size());
    std::vector<std::pair<size_t, std::unique_ptr<Process>>> running;
    auto finishOldest = [&] {
        auto result = running.front().second->Wait();
        if (!result)
            throw std::runtime_error("lp did not end within 30 s");
        ids[running.front().first] = SubmittedJobId(*result);
        running.erase(running.begin());
    };
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (running.size() == kAtOnce)
            finishOldest();
        running.emplace_back(i, std::make_unique<Process>(lp, SubmitArguments(jobs[i])));
    }
    while (!running.empty())
        finishOldest();
    return ids;
}

void CupsServer::Cancel(std::uint32_t jobId)
{
    const ProcessResult cancelled = Tool("cancel", {"-h", address_, std::to_string(jobId)});
    if (cancelled.exitCode != 0)
        throw std::runtime_error(Describe("cancel", cancelled));
}

void CupsServer::Release(std::uint32_t jobId)
{
    const ProcessResult released = Tool("lp", {"-h", address_, "-i", std::to_string(jobId), "-H", "resume"});
    if (released.exitCode != 0)
        throw std::runtime_error(Describe("lp -H resume", released));
}

std::filesystem::path CupsServer::PdfWithPages(int pages)
{
    auto known = pdfs_.find(pages);
    if (known != pdfs_.end())
        return known->second;
    const std::filesystem::path file = folder_ / ("pages-" + std::to_string(pages) + ".pdf");
    std::ofstream(file, std::ios::binary) << MinimalPdf(pages);
    pdfs_[pages] = file;
    return file;
}

int CupsServer::ConnectionsFromThisProcess() const
{
    const std::set<unsigned long> ours = SocketInodesOfThisProcess();
    int count = 0;
    for (const char* table : {"/proc/self/net/tcp", "/proc/self/net/tcp6"}) {
        std::ifstream lines(table);
        std::string line;
        std::getline(lines, line);  // the heading
        while (std::getline(lines, line)) {
            // sl local_address rem_address st tx:rx tr:when retrnsmt uid timeout inode
            std::istringstream fields(line);
            std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout;
            unsigned long inode = 0;
            fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode;
            const size_t colon = remote.rfind(':');
            if (colon == std::string::npos || state != "01")  // 01: established
                continue;
            if (std::stoi(remote.substr(colon + 1), nullptr, 16) == port_ && ours.contains(inode))
                ++count;
        }
    }
    return count;
}

ProcessResult CupsServer::Script(std::vector<std::string> args) const
{
    // The scheduler goes with this process, even when it is killed.
    return RunProgram(ScriptPath(), std::move(args), {{"PRIVATE_CUPSD_OWNER", std::to_string(::getpid())}});
}

ProcessResult CupsServer::Tool(const std::string& name, std::vector<std::string> args) const
{
    return RunProgram(FindTool(name), std::move(args));
}

std::string MinimalPdf(int pages)
{
    std::vector<std::string> objects;
    objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
    std::string kids;
    for (int i = 0; i < pages; ++i)
        kids += std::to_string(3 + i) + " 0 R ";
    objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
    for (int i = 0; i < pages; ++i)
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << >> /Contents " +
                          std::to_string(3 + pages + i) + " 0 R >>");
    for (int i = 0; i < pages; ++i) {
        // A different line on each page, so no filter takes two for one.
        const std::string drawing = "72 " + std::to_string(72 + 10 * i) + " m 540 720 l S";
        objects.push_back("<< /Length " + std::to_string(drawing.size()) + " >>\nstream\n" + drawing + "\nendstream");
    }
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char line[32];
        std::snprintf(line, sizeof(line), "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

const std::vector<std::string>& BulkPrinters()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> made;
        for (int i = 0; i < 200; ++i)
            made.push_back("bulk" + std::to_string(i));
        return made;
    }();
    return names;
}

CupsServer& SharedScheduler()
{
    static std::unique_ptr<CupsServer> server = [] {
        std::vector<std::string> raw{"raw", "stopped"};
        raw.insert(raw.end(), BulkPrinters().begin(), BulkPrinters().end());
        auto started = std::make_unique<CupsServer>(std::vector<std::string>{"laser", "ink"}, raw);
        started->Disable("stopped");
        started->AddClass("team", {"laser", "ink"});
        started->UseInThisProcess();
        return started;
    }();
    return *server;
}

namespace {

// The scheduling state of one of this process's threads ('S' asleep, 'R'
// running), from /proc.
char ThreadState(pid_t tid)
{
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t end = line.rfind(')');
    return end == std::string::npos || end + 2 >= line.size() ? '?' : line[end + 2];
}

}  // namespace

StoppedWait StopABlockedWait(const std::function<int(std::stop_token)>& wait)
{
    std::atomic<pid_t> waiter{0};
    std::atomic<std::chrono::steady_clock::rep> wokeAt{0};
    std::atomic<int> result{-1};
    std::stop_source stop;
    std::jthread thread([&] {
        waiter = static_cast<pid_t>(::syscall(SYS_gettid));
        result = wait(stop.get_token());
        wokeAt = std::chrono::steady_clock::now().time_since_epoch().count();
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((waiter == 0 || ThreadState(waiter) != 'S') && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    StoppedWait stopped;
    stopped.slept = ThreadState(waiter) == 'S';

    const auto stoppedAt = std::chrono::steady_clock::now();
    stop.request_stop();
    thread.join();
    stopped.result = result;
    stopped.wakeDelay =
        std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(wokeAt.load())) - stoppedAt;
    return stopped;
}

}  // namespace ostrel::test
