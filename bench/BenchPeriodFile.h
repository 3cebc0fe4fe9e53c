#pragma once

#include "JobRecorder.h"

#include <string>

namespace ostrel::bench {

// A period file as the monitor writes it: the blank run, then the records,
// spread over 50 users and 5 printers.
inline std::string PeriodFile(int events)
{
    std::string file(525, ' ');
    PrintJob job;
    job.submitted = {2026, 3, 4, 5, 9, 30, 0, 0};
    for (int i = 0; i < events; ++i) {
        job.document = "Quarterly report " + std::to_string(i) + ".pdf";
        job.user = "user" + std::to_string(i % 50);
        job.totalPages = static_cast<std::uint32_t>(i % 20 + 1);
        file += JobRecorder::EventText(job, "5", "Printer " + std::to_string(i % 5));
    }
    return file;
}

}  // namespace ostrel::bench
