#include "Relayer.h"

#include "ApplicationFolder.h"
#include "Files.h"
#include "HandOver.h"
#include "MailComposer.h"
#include "SafeFolder.h"

#include <fcntl.h>

#include <optional>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

// Larger files are no print log of a day; reading them could exhaust memory.
constexpr std::uintmax_t kLargestFile = 256u << 20;

// The path of `file` below the Logs folder of the application folder, or
// nothing when it names no file there. The hand-over values are writable
// by the administrators, and the mailer, started by the root monitor, must
// never mail just any file of the machine, such as /etc/shadow, to an
// address they choose: the name is taken as it is written, and the file is
// then opened below Logs without following any link (SafeFolder).
std::optional<std::string> BelowLogsFolder(const fs::path& file, const std::string& appFolder)
{
    const std::string logs = InApplicationFolder(appFolder, "Logs/").string();
    const std::string& name = file.native();
    if (name.size() <= logs.size() || name.compare(0, logs.size(), logs) != 0)
        return std::nullopt;
    return name.substr(logs.size());
}

std::string Where(const MailSettings& settings)
{
    return Printable(settings.recipient) + " through " + Printable(settings.server) + ":" +
           std::to_string(settings.port);
}

}  // namespace

int RunRelayer(const RelayerEnvironment& environment)
{
    const fs::path lockFile =
        environment.appFolder.empty() ? fs::path() : InApplicationFolder(environment.appFolder, "Relayer.lock");
    const HandOverClaim claim = ClaimHandOver(environment.registry, lockFile);
    if (!claim.handOver) {
        environment.log.Info("nothing to send: neither ESentFile nor EToSendFile names a file");
        return kRelayerDone;
    }
    const HandOver& handOver = *claim.handOver;
    const std::string what = Describe(handOver);
    if (!claim.cleared) {
        environment.log.Error("not sending " + what +
                              ": its registry value cannot be cleared, so a later start would send it again");
        return kRelayerNotClaimed;
    }

    const std::string onlyLogs = "only files of the Logs folder of " + Printable(environment.appFolder) + " are mailed";
    const std::optional<std::string> inLogs = BelowLogsFolder(handOver.file, environment.appFolder);
    Safe<FileDescriptor> file;
    if (inLogs) {
        if (const Safe<SafeFolder> logs = SafeFolder::Open(environment.appFolder, "Logs"))
            file = logs.value.OpenFile(*inLogs, O_RDONLY);
        else
            file.status = logs.status;
    }
    if (!file) {
        std::string reason = "it cannot be read";
        if (!inLogs || file.status == SafeStatus::BadName)
            reason = onlyLogs;
        else if (file.status == SafeStatus::Link)
            reason = onlyLogs + ", never through a symbolic link";
        else if (file.status == SafeStatus::Missing)
            reason = "there is no such file";
        else if (file.status == SafeStatus::WrongType)
            reason = "it is not a regular file";
        environment.log.Error("cannot send " + what + ": " + reason);
        return kRelayerNoFile;
    }
    if (FileSize(file.value.Get()).value_or(0) > kLargestFile) {
        environment.log.Error("cannot send " + what + ": it is larger than 256 MiB");
        return kRelayerNoFile;
    }
    std::optional<std::string> document = ReadAll(file.value.Get());
    if (!document) {
        environment.log.Error("cannot send " + what + ": it cannot be read");
        return kRelayerNoFile;
    }

    const MailSettings settings = LoadMailSettings(environment.registry);
    if (const std::optional<std::string> problem = ProblemWithMailSettings(settings)) {
        environment.log.Error("cannot send " + what + ": " + *problem);
        return kRelayerBadSettings;
    }

    const MailMessage mail = ComposeMail(handOver, std::move(*document), settings, environment.clock.Now());
    const SendOutcome outcome = environment.mailer.Send(settings, mail);
    if (!outcome.sent) {
        environment.log.Error("could not send " + what + " to " + Where(settings) + ": " + Printable(outcome.reason));
        return kRelayerNotSent;
    }
    environment.log.Info("sent " + what + " to " + Where(settings));
    return kRelayerDone;
}

}  // namespace ostrel
