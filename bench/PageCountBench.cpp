// Pages counted per second from PDF and PCL documents of 10 and 500 pages,
// beside the time CUPS itself takes to accept a job: lp, from its start to
// the request id it prints once the scheduler has created the job, on a
// private scheduler's raw queue, in the same run.
//   page-count-bench [JOBS]   default: 20 jobs submitted
#include "CupsServer.h"
#include "PageCount.h"
#include "PrintDocuments.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The time of one count: the median of 7 batches, each of enough counts to
// last at least 20 ms, so that a clock tick is no part of the figure.
double MillisecondsPerCount(const std::string& document, std::uint32_t expected)
{
    if (ostrel::pages::CountPages(document) != expected) {
        std::fprintf(stderr, "counted %u pages, not %u\n", ostrel::pages::CountPages(document), expected);
        std::exit(1);
    }
    int batch = 1;
    for (;;) {
        const auto before = Clock::now();
        for (int i = 0; i < batch; ++i)
            ostrel::pages::CountPages(document);
        if (Clock::now() - before >= std::chrono::milliseconds(20))
            break;
        batch *= 2;
    }
    std::vector<double> rounds;
    for (int round = 0; round < 7; ++round) {
        const auto before = Clock::now();
        for (int i = 0; i < batch; ++i)
            ostrel::pages::CountPages(document);
        rounds.push_back(Milliseconds(Clock::now() - before) / batch);
    }
    return Median(rounds);
}

}  // namespace

int main(int argc, char** argv)
{
    const int jobs = argc > 1 ? std::atoi(argv[1]) : 20;
    ostrel::test::CupsServer cups({}, {"raw"});
    std::vector<double> accepts;
    const std::filesystem::path pdf = cups.PdfWithPages(10);
    for (int job = 0; job < jobs; ++job) {
        const auto before = Clock::now();
        cups.Submit({"raw", "bench", "accept " + std::to_string(job), pdf});
        accepts.push_back(Milliseconds(Clock::now() - before));
    }
    const double accept = Median(accepts);
    std::printf("CUPS accepting a job (lp to its request id), median of %d: %.2f ms\n", jobs, accept);

    struct Document {
        const char* name;
        std::string bytes;
        std::uint32_t pages;
    };
    const Document documents[] = {
        {"PDF, 10 pages", ostrel::test::MinimalPdf(10), 10},
        {"PDF, 500 pages", ostrel::test::MinimalPdf(500), 500},
        {"PCL, 10 pages", ostrel::test::PclWithPages(10), 10},
        {"PCL, 500 pages", ostrel::test::PclWithPages(500), 500},
    };
    for (const Document& document : documents) {
        const double ms = MillisecondsPerCount(document.bytes, document.pages);
        std::printf("%-16s %8zu bytes  %10.2f us a count  %11.0f pages/s  %8.5f x accepting a job\n", document.name,
                    document.bytes.size(), ms * 1000, document.pages / (ms / 1000), ms / accept);
    }
    return 0;
}
