#include "MonitoringSwitch.h"

#include "RegValue.h"

namespace ostrel {

namespace {

constexpr const char* kAppRuns = "Software\\Ostrel\\AppRuns";

}  // namespace

std::uint32_t MonitoringSwitch::AppRuns()
{
    return RegValueDword(kAppRuns, 0).Get();
}

void MonitoringSwitch::Switch(bool on)
{
    RegValueDword appRuns(kAppRuns, 0);
    appRuns.Set(on ? 1 : 0);
    appRuns.Write();
    if (afterSwitch_)
        afterSwitch_();
}

}  // namespace ostrel
