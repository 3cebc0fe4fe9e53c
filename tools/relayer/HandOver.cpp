#include "HandOver.h"

#include "Files.h"
#include "MailChecks.h"
#include "RegValue.h"

#include <memory>

namespace ostrel {
namespace {

struct HandOverValue {
    MailKind kind;
    const char* path;
};

constexpr HandOverValue kValues[] = {
    {MailKind::TestMessage, "Software\\Ostrel\\ESentFile"},
    {MailKind::DailyReport, "Software\\Ostrel\\EToSendFile"},
};

}  // namespace

HandOverClaim ClaimHandOver(RegistryHive& registry, const std::filesystem::path& lockFile)
{
    std::unique_ptr<FileLock> lock;
    if (!lockFile.empty())
        lock = std::make_unique<FileLock>(lockFile);
    for (const auto& value : kValues) {
        RegValueString named(value.path, "", false, registry);
        const std::string file = named.Get();
        if (file.empty())
            continue;
        named.Set("");
        const bool cleared = RegValueString(value.path, "", false, registry).Read().empty();
        return HandOverClaim{HandOver{value.kind, file}, cleared};
    }
    return HandOverClaim{};
}

std::string Describe(const HandOver& handOver)
{
    return (handOver.kind == MailKind::TestMessage ? "the test message " : "the daily report ") +
           Printable(handOver.file.string());
}

}  // namespace ostrel
