#include "Relayer.h"

#include "ApplicationFolder.h"
#include "Files.h"
#include "HandOver.h"
#include "MailComposer.h"

#include <algorithm>
#include <system_error>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

// Larger files are no print log of a day; reading them could exhaust memory.
constexpr std::uintmax_t kLargestFile = 256u << 20;

// Whether `file` lies, links resolved, inside the Logs folder of the
// application folder: the hand-over values are writable by the
// administrators, and the mailer must never mail just any file of the
// machine, such as /etc/shadow, to an address they choose.
bool InLogsFolder(const fs::path& file, const std::string& appFolder)
{
    std::error_code error;
    const fs::path logs = fs::canonical(InApplicationFolder(appFolder, "Logs"), error);
    if (error)
        return false;
    const fs::path resolved = fs::canonical(file, error);
    if (error)
        return false;
    const auto [logsEnd, unused] = std::mismatch(logs.begin(), logs.end(), resolved.begin(), resolved.end());
    return logsEnd == logs.end() && resolved != logs;
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

    std::error_code error;
    const fs::file_status status = fs::status(handOver.file, error);
    if (!fs::is_regular_file(status)) {
        environment.log.Error("cannot send " + what + ": " +
                              (fs::exists(status) ? "it is not a regular file" : "there is no such file"));
        return kRelayerNoFile;
    }
    if (!InLogsFolder(handOver.file, environment.appFolder)) {
        environment.log.Error("cannot send " + what + ": only files of the Logs folder of " +
                              Printable(environment.appFolder) + " are mailed");
        return kRelayerNoFile;
    }
    if (fs::file_size(handOver.file, error) > kLargestFile) {
        environment.log.Error("cannot send " + what + ": it is larger than 256 MiB");
        return kRelayerNoFile;
    }
    std::optional<std::string> document = ReadFileBytes(handOver.file);
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
