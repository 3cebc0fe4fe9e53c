#include "CentralTestSupport.h"

#include "PeriodKeys.h"

#include <cstdio>
#include <ctime>
#include <set>
#include <stdexcept>

namespace ostrel::test {
namespace {

struct Server {
    const char* name;
    const char* id;
    std::vector<std::string> printers;
};

const std::vector<Server>& Servers()
{
    static const std::vector<Server> servers = {
        {"north", "6f1c2f6e-0000-4000-8000-000000000001", {"Laser", "Colour"}},
        {"south", "6f1c2f6e-0000-4000-8000-000000000002", {"Laser", "Plotter"}},
        {"east", "6f1c2f6e-0000-4000-8000-000000000003", {"Büro Farbe", "Laser 2"}},
    };
    return servers;
}

std::string UtcText(Clock::TimePoint when)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d+00", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

std::array<std::string, 5> FieldsOf(const std::tm& when)
{
    return {std::to_string(when.tm_year + 1900), TwoDigits(when.tm_mon + 1), TwoDigits(when.tm_mday),
            TwoDigits(when.tm_hour), TwoDigits(when.tm_min)};
}

}  // namespace

std::vector<CentralJob> MakeSite(std::size_t count, Clock::TimePoint from, Clock::TimePoint to,
                                 Clock::TimePoint eastJoined)
{
    const std::vector<std::string> users = {"alice", "bob", "carol", "jürgen"};
    std::uint64_t state = 88172645463325252ull;
    const auto next = [&] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    const auto span = std::chrono::duration_cast<std::chrono::seconds>(to - from).count();
    std::set<std::int64_t> instants;
    while (instants.size() < count)
        instants.insert(static_cast<std::int64_t>(next() % static_cast<std::uint64_t>(span)));
    std::vector<CentralJob> jobs;
    for (std::int64_t offset : instants) {
        CentralJob job;
        job.recorded = from + std::chrono::seconds(offset);
        const std::size_t servers = job.recorded >= eastJoined ? 3 : 2;
        const Server& server = Servers()[next() % servers];
        job.server = server.name;
        job.printer = server.printers[next() % 2];
        job.user = users[next() % users.size()];
        job.document = jobs.size() % 17 == 0 ? "Budget, \"final\" " + std::to_string(jobs.size())
                                             : "Doc " + std::to_string(jobs.size()) + ".pdf";
        job.pages = static_cast<std::int64_t>(next() % 30 + 1);
        job.cost = job.pages * 5;
        job.submitted = job.recorded - std::chrono::seconds(next() % 900);
        const std::time_t submitted = std::chrono::system_clock::to_time_t(job.submitted);
        std::tm local{};
        if (job.server == "east") {
            const std::time_t behind = submitted - 5 * 3600;
            gmtime_r(&behind, &local);
        } else {
            localtime_r(&submitted, &local);
        }
        job.local = FieldsOf(local);
        jobs.push_back(std::move(job));
    }
    return jobs;
}

void InsertJobs(SqlConnection& administrator, const std::vector<CentralJob>& jobs)
{
    for (const Server& server : Servers()) {
        const SqlAnswer answer = administrator.Run("INSERT INTO ostrel_servers (server_id, name) VALUES ($1, $2)",
                                                   {std::string(server.id), std::string(server.name)});
        if (!answer.Ok())
            throw std::runtime_error("servers: " + *answer.error);
    }
    std::map<std::string, std::int64_t> sequence;
    std::vector<SqlRow> rows;
    for (const CentralJob& job : jobs) {
        std::string id;
        for (const Server& server : Servers())
            if (job.server == server.name)
                id = server.id;
        const std::int64_t number = ++sequence[job.server];
        rows.push_back({id, std::to_string(number), std::to_string(1000 + number), job.printer, job.user, job.document,
                        std::to_string(job.pages), std::to_string(job.cost), UtcText(job.submitted),
                        UtcText(job.recorded), job.local[0], job.local[1], job.local[2], job.local[3], job.local[4]});
    }
    const SqlAnswer answer = administrator.Copy(
        "COPY ostrel_job_records (server_id, record_sequence, job_id, printer, username, document, pages, cost, "
        "submitted_at, recorded_at, local_year, local_month, local_day, local_hour, local_minute) FROM STDIN",
        rows);
    if (!answer.Ok())
        throw std::runtime_error("jobs: " + *answer.error);
}

CentralRow RowOf(const CentralJob& job)
{
    const std::array<std::string, 5> shown = FieldsOf(LocalTime(job.submitted));
    return {shown[2],
            shown[1],
            shown[0],
            shown[3],
            shown[4],
            job.document,
            std::to_string(job.pages),
            std::to_string(job.cost),
            job.printer,
            job.user,
            job.server};
}

}  // namespace ostrel::test
