#pragma once

#include "SafeFolder.h"

#include <syslog.h>

#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_set>

namespace ostrel {

// The journal of refused links, process-wide: every SafeFolder of every
// thread reports to it.
class LinkRefusals {
public:
    static LinkRefusals& Instance()
    {
        static LinkRefusals refusals;
        return refusals;
    }

    void Set(LinkJournal journal)
    {
        std::lock_guard lock(mutex_);
        journal_ = std::move(journal);
        journaled_.clear();
        full_ = false;
    }

    void Refused(const std::string& path)
    {
        std::lock_guard lock(mutex_);
        if (full_ || journaled_.count(path))
            return;
        // Names are chosen by whoever plants the links; a bounded memory of
        // them keeps a flood of new names from growing the monitor.
        if (journaled_.size() >= kMostPaths) {
            full_ = true;
            Write("more symbolic links below the application folder were refused; no more are journaled");
            return;
        }
        journaled_.insert(path);
        Write("refused the symbolic link " + Escaped(path) +
              ": nothing below the application folder is opened "
              "through a link");
    }

private:
    static constexpr std::size_t kMostPaths = 1000;

    // Control characters and backslashes as \xNN, so that a planted name
    // cannot forge or break journal lines.
    static std::string Escaped(const std::string& text)
    {
        static constexpr char kHex[] = "0123456789abcdef";
        std::string out;
        for (const unsigned char c : text) {
            if (c < 0x20 || c == 0x7F || c == '\\') {
                out += "\\x";
                out += kHex[c >> 4];
                out += kHex[c & 0xF];
            } else {
                out += static_cast<char>(c);
            }
        }
        return out;
    }

    void Write(const std::string& line)
    {
        if (journal_)
            journal_(line);
        else
            ::syslog(LOG_WARNING, "%s", line.c_str());
    }

    std::mutex mutex_;
    LinkJournal journal_;
    std::unordered_set<std::string> journaled_;
    bool full_ = false;
};

}  // namespace ostrel
