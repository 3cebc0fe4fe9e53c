#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

namespace ostrel::test {

// Runs a test in a time zone of its choosing (a POSIX TZ text, so that no
// time zone database is needed), restoring the one before.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            saved_ = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ZoneGuard()
    {
        if (saved_.empty())
            ::unsetenv("TZ");
        else
            ::setenv("TZ", saved_.c_str(), 1);
        ::tzset();
    }
    ZoneGuard(const ZoneGuard&) = delete;
    ZoneGuard& operator=(const ZoneGuard&) = delete;

private:
    std::string saved_;
};

}  // namespace ostrel::test
