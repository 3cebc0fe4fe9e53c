#pragma once

#include "MailComposer.h"
#include "MailChecks.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace ostrel {

struct SendOutcome {
    bool sent = false;
    std::string reason;  // why not, for the system log; never holds the password
};

// A server reply as the log may show it: a server that echoes what it was
// sent would otherwise put the password into the log, as it is or in the
// base64 forms the LOGIN and PLAIN logins send it in.
std::string HideSecrets(std::string reply, const MailSettings& settings);

// Whether the mail must go over an encrypted connection: the LOGIN and
// PLAIN logins send the password in a form anyone on the way can read, so
// they need TLS unless the server is on this machine. Without such a login
// STARTTLS is used only when offered.
bool NeedsEncryption(AuthMethod method, std::string_view server);

// Hands a mail to a mail server.
class Mailer {
public:
    virtual ~Mailer() = default;
    virtual SendOutcome Send(const MailSettings& settings, const MailMessage& mail) = 0;
};

// SMTP through libcurl: "smtps://" on port 465, else "smtp://" with
// STARTTLS whenever the server offers it, and required where
// NeedsEncryption says so. Certificates are verified,
// against the system's authorities or `caFile` when one is given. Logs in
// with the settings' method (none, LOGIN, PLAIN or CRAM-MD5). Gives up
// after 30 s without a connection or 5 minutes in all. curl_global_init
// must have been called.
class SmtpMailer final : public Mailer {
public:
    explicit SmtpMailer(std::filesystem::path caFile = {});

    SendOutcome Send(const MailSettings& settings, const MailMessage& mail) override;

private:
    std::filesystem::path caFile_;
};

}  // namespace ostrel
