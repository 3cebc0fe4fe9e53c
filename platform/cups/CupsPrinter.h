#pragma once

#include "ChangeQueue.h"
#include "CupsContext.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ostrel::cups {

// An opened CUPS queue, printer or class.
class CupsPrinter final : public SpoolerPrinter {
public:
    CupsPrinter(std::shared_ptr<CupsContext> context, std::string queue, std::string uri);

    SpoolerResult<std::unique_ptr<ChangeNotification>> WatchChanges(std::uint32_t filter) override;
    SpoolerResult<std::uint32_t> JobCount() override;
    SpoolerResult<std::vector<SpoolerJob>> Jobs(std::uint32_t limit) override;
    SpoolerResult<std::vector<EndedJob>> EndedJobs() override;
    std::optional<std::uint32_t> PagesFromDocument(std::uint32_t jobId) override;

private:
    // The jobs still queued, ordered by id. A job that has ended but whose
    // final fields have not reached our watcher counts as queued, so that a
    // deletion settled against this list never marks a job finished before
    // its final page count is in.
    SpoolerResult<std::vector<SpoolerJob>> Queue();

    std::shared_ptr<CupsContext> context_;
    std::string queue_;
    std::string uri_;
    std::vector<std::weak_ptr<ChangeQueue>> watchers_;
    std::optional<bool> raw_;  // asked at the first count
};

}  // namespace ostrel::cups
