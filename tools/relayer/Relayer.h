#pragma once

#include "Clock.h"
#include "RegistryHive.h"
#include "SmtpMailer.h"

#include <string>
#include <string_view>

namespace ostrel {

// Where the mailer reports what it did: the system log in the program.
class RelayerLog {
public:
    virtual ~RelayerLog() = default;
    virtual void Info(std::string_view line) = 0;
    virtual void Error(std::string_view line) = 0;
};

// The mailer's exit codes.
enum RelayerExit : int {
    kRelayerDone = 0,         // sent, or nothing was named
    kRelayerBadSettings = 1,  // mail settings that cannot be used
    kRelayerUsage = 2,        // started with arguments
    kRelayerNoFile = 3,       // the named file is missing or unreadable
    kRelayerNotSent = 4,      // the mail server did not take the mail
    kRelayerNotClaimed = 5,   // the hand-over could not be cleared
};

struct RelayerEnvironment {
    RegistryHive& registry;
    std::string appFolder;  // holds Relayer.lock; without a trailing '/'
    Mailer& mailer;
    RelayerLog& log;
    Clock& clock;
};

// One start of the mailer: takes the hand-over it is for (ClaimHandOver),
// reads the named file, checks the mail settings and sends the file to the
// recipient. Every outcome goes to the log in one line that names the file
// and, on failure, the reason; the password is never written anywhere.
int RunRelayer(const RelayerEnvironment& environment);

}  // namespace ostrel
