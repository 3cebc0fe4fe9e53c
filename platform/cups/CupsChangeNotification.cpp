#include "CupsChangeNotification.h"

namespace ostrel::cups {

CupsChangeNotification::CupsChangeNotification(std::shared_ptr<CupsContext> context, std::string queue,
                                               std::shared_ptr<ChangeQueue> changes)
    : context_(std::move(context)), queue_(std::move(queue)), changes_(std::move(changes))
{
}

CupsChangeNotification::~CupsChangeNotification()
{
    context_->pump.Unwatch(queue_, changes_.get());
}

ChangeNotification::WaitResult CupsChangeNotification::Wait(std::optional<std::chrono::milliseconds> timeout,
                                                            std::stop_token stop)
{
    return changes_->Wait(timeout, std::move(stop));
}

SpoolerResult<ChangeBlock> CupsChangeNotification::Next()
{
    return changes_->Next();
}

}  // namespace ostrel::cups
