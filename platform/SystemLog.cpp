#include "SystemLog.h"

#include <syslog.h>

namespace ostrel {

void LogWarning(std::string_view text)
{
    // No openlog here: the program that hosts us names itself.
    syslog(LOG_WARNING, "%.*s", static_cast<int>(text.size()), text.data());
}

bool LogOnce::Warn(const std::string& text)
{
    {
        std::lock_guard lock(mutex_);
        if (!said_.insert(text).second)
            return false;
    }
    LogWarning(text);
    return true;
}

void LogOnce::Forget(const std::string& text)
{
    std::lock_guard lock(mutex_);
    said_.erase(text);
}

}  // namespace ostrel
