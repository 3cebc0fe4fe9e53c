// Relayer: the mailer the system starts, without arguments, to send the
// test message the console names in ESentFile or the daily report the
// monitor names in EToSendFile. Everything it needs comes from the registry
// store; what it did goes to the system log.

#include "ApplicationFolder.h"
#include "Relayer.h"

#include <curl/curl.h>
#include <sys/stat.h>
#include <syslog.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

class SystemLog final : public ostrel::RelayerLog {
public:
    void Info(std::string_view line) override { syslog(LOG_INFO, "%.*s", static_cast<int>(line.size()), line.data()); }
    void Error(std::string_view line) override { syslog(LOG_ERR, "%.*s", static_cast<int>(line.size()), line.data()); }
};

// Whether stderr is the journal already (systemd names it in JOURNAL_STREAM);
// syslog reaches the journal too, and each line should appear once.
bool StderrIsTheJournal()
{
    const char* stream = std::getenv("JOURNAL_STREAM");
    struct stat error {};
    unsigned long long device = 0;
    unsigned long long inode = 0;
    return stream && std::sscanf(stream, "%llu:%llu", &device, &inode) == 2 && fstat(2, &error) == 0 &&
           error.st_dev == device && error.st_ino == inode;
}

}  // namespace

int main(int argc, char**)
{
    if (argc > 1) {
        std::fputs(
            "usage: Relayer\n"
            "Sends the file that ESentFile or EToSendFile names to the address the e-mail settings give.\n",
            stderr);
        return ostrel::kRelayerUsage;
    }
    openlog("Relayer", LOG_PID | (StderrIsTheJournal() ? 0 : LOG_PERROR), LOG_MAIL);
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        syslog(LOG_ERR, "libcurl cannot be set up");
        return ostrel::kRelayerNotSent;
    }

    // For a mail server whose certificate a private authority signed.
    const char* caFile = std::getenv("OSTREL_RELAYER_CA_FILE");
    ostrel::SmtpMailer mailer(caFile ? caFile : "");
    SystemLog log;
    const int exitCode = ostrel::RunRelayer(
        {ostrel::LocalMachineHive(), ostrel::ReadApplicationFolder(), mailer, log, ostrel::SystemClock()});

    curl_global_cleanup();
    closelog();
    return exitCode;
}
