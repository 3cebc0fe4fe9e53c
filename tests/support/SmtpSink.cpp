#include "SmtpSink.h"

#include "Files.h"

#include <chrono>
#include <thread>

namespace ostrel::test {
namespace {

using namespace std::chrono_literals;

}  // namespace

SmtpSink::SmtpSink(const SmtpSinkOptions& options)
{
    std::vector<std::string> args = {
        OSTREL_SMTP_SINK, "--port-file",     (folder_ / "port").string(), "--out", (folder_ / "messages").string(),
        "--mechanisms",   options.mechanisms};
    if (!options.user.empty())
        args.insert(args.end(), {"--user", options.user, "--password", options.password});
    if (!options.certificate.empty())
        args.insert(args.end(), {"--cert", options.certificate.string(), "--key", options.key.string()});
    if (options.refuseRecipients)
        args.push_back("--refuse-recipients");
    if (options.echoAuth)
        args.push_back("--echo-auth");
    process_ = std::make_unique<Process>(OSTREL_PYTHON, args);

    // The sink writes its port once it listens; it runs outside any clock of ours.
    for (auto deadline = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < deadline;) {
        if (const auto port = ReadFileBytes(folder_ / "port"); port && !port->empty()) {
            port_ = std::stoi(*port);
            return;
        }
        std::this_thread::sleep_for(10ms);
    }
}

std::size_t SmtpSink::Count() const
{
    std::size_t count = 0;
    while (std::filesystem::exists(folder_ / "messages" / std::to_string(count + 1)))
        ++count;
    return count;
}

std::string SmtpSink::Read(std::size_t number, const std::string& file) const
{
    return ReadFileBytes(folder_ / "messages" / std::to_string(number) / file).value_or("(missing)");
}

std::optional<CertificateFiles> MakeLoopbackCertificate(const std::filesystem::path& folder)
{
    const std::filesystem::path openssl = "/usr/bin/openssl";
    if (!std::filesystem::exists(openssl))
        return std::nullopt;
    CertificateFiles files{folder / "sink-cert.pem", folder / "sink-key.pem"};
    const ProcessResult made =
        RunProgram(openssl, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=localhost",
                             "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost", "-keyout", files.key.string(),
                             "-out", files.certificate.string()});
    if (made.exitCode != 0)
        return std::nullopt;
    return files;
}

}  // namespace ostrel::test
