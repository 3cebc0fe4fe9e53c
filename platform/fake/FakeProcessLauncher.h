#pragma once

#include "ProcessLauncher.h"

#include <filesystem>
#include <mutex>
#include <vector>

namespace ostrel {

// Records the programs it is asked to start instead of starting them.
class FakeProcessLauncher final : public ProcessLauncher {
public:
    bool Start(const std::filesystem::path& program) override;
    void ReapFinished() override;

    // What Start answers; true unless the test says otherwise.
    void SetStartSucceeds(bool succeeds);

    std::vector<std::filesystem::path> Started() const;
    int Reaps() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::filesystem::path> started_;
    int reaps_ = 0;
    bool succeeds_ = true;
};

}  // namespace ostrel
