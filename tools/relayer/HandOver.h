#pragma once

#include "RegistryHive.h"

#include <filesystem>
#include <optional>
#include <string>

namespace ostrel {

enum class MailKind {
    TestMessage,  // named by ESentFile, which the console's e-mail dialog sets
    DailyReport,  // named by EToSendFile, which the monitor's report task sets
};

// What one start of the mailer is to send.
struct HandOver {
    MailKind kind = MailKind::TestMessage;
    std::filesystem::path file;
};

struct HandOverClaim {
    std::optional<HandOver> handOver;  // nothing when no file is named
    bool cleared = true;               // false when the value could not be cleared
};

// Takes the one hand-over this start is for and clears its value, so that
// no later start sends the same file again. The console names a test
// message just before it starts the mailer, so ESentFile wins; otherwise
// EToSendFile is the monitor's daily report. A report left named while the
// e-mail switch was off is therefore sent only by the monitor's next start,
// which names a fresh one. The claim holds an advisory lock on `lockFile`
// (when given), so that two mailers started at once take different
// hand-overs. When the value cannot be cleared, `cleared` is false and the
// file must not be sent.
HandOverClaim ClaimHandOver(RegistryHive& registry, const std::filesystem::path& lockFile);

// "the test message /x/Logs/TestEmail.xml", "the daily report /x/Logs/Report.xml".
std::string Describe(const HandOver& handOver);

}  // namespace ostrel
