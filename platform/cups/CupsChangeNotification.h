#pragma once

#include "ChangeQueue.h"
#include "CupsContext.h"

#include <memory>
#include <string>

namespace ostrel::cups {

// A watcher's view of one queue's job changes, fed by the pump.
class CupsChangeNotification final : public ChangeNotification {
public:
    CupsChangeNotification(std::shared_ptr<CupsContext> context, std::string queue,
                           std::shared_ptr<ChangeQueue> changes);
    ~CupsChangeNotification() override;

    WaitResult Wait(std::optional<std::chrono::milliseconds> timeout, std::stop_token stop) override;
    SpoolerResult<ChangeBlock> Next() override;

private:
    std::shared_ptr<CupsContext> context_;
    std::string queue_;
    std::shared_ptr<ChangeQueue> changes_;
};

}  // namespace ostrel::cups
