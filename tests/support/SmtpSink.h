#pragma once

#include "Process.h"
#include "TempFolder.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace ostrel::test {

struct SmtpSinkOptions {
    std::string user;  // with a user, the sink wants a login before MAIL
    std::string password;
    std::string mechanisms = "PLAIN LOGIN CRAM-MD5";
    std::filesystem::path certificate;  // with it, the sink offers STARTTLS
    std::filesystem::path key;
    bool refuseRecipients = false;
    bool echoAuth = false;  // a failed login's reply repeats what the client sent
};

// A mail server on a loopback port for the duration of a test: the script
// smtp_sink.py beside this file, run by the build's Python. Each message it
// takes is kept as files that Read returns.
class SmtpSink {
public:
    explicit SmtpSink(const SmtpSinkOptions& options = {});

    // 0 when the sink did not start.
    int Port() const { return port_; }

    // Messages taken so far.
    std::size_t Count() const;

    // A file of message `number` (from 1): "envelope", "subject", "from",
    // "to", "html", "attachment-name", "attachment", "message.eml".
    std::string Read(std::size_t number, const std::string& file) const;

private:
    TempFolder folder_;
    std::unique_ptr<Process> process_;
    int port_ = 0;
};

struct CertificateFiles {
    std::filesystem::path certificate;
    std::filesystem::path key;
};

// A self-signed certificate for 127.0.0.1 and localhost, made with the
// openssl program; nothing when the program is missing.
std::optional<CertificateFiles> MakeLoopbackCertificate(const std::filesystem::path& folder);

}  // namespace ostrel::test
