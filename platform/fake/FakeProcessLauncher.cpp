#include "FakeProcessLauncher.h"

namespace ostrel {

bool FakeProcessLauncher::Start(const std::filesystem::path& program)
{
    std::lock_guard lock(mutex_);
    started_.push_back(program);
    return succeeds_;
}

void FakeProcessLauncher::ReapFinished()
{
    std::lock_guard lock(mutex_);
    ++reaps_;
}

void FakeProcessLauncher::SetStartSucceeds(bool succeeds)
{
    std::lock_guard lock(mutex_);
    succeeds_ = succeeds;
}

std::vector<std::filesystem::path> FakeProcessLauncher::Started() const
{
    std::lock_guard lock(mutex_);
    return started_;
}

int FakeProcessLauncher::Reaps() const
{
    std::lock_guard lock(mutex_);
    return reaps_;
}

}  // namespace ostrel
