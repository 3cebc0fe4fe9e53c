#include "CupsConnection.h"

#include "Spooler.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <ctime>

namespace ostrel::cups {
namespace {

constexpr int kConnectMilliseconds = 10000;
constexpr double kReplySeconds = 15.0;

// Never ask anybody for a password: the monitor runs unattended.
const char* NoPassword(const char*, http_t*, const char*, const char*, void*)
{
    return nullptr;
}

// True when the scheduler closed its end while the connection sat idle.
bool PeerClosed(http_t* http)
{
    const int fd = httpGetFd(http);
    if (fd < 0)
        return true;
    pollfd watch{fd, POLLIN, 0};
    if (::poll(&watch, 1, 0) <= 0)
        return false;
    if (watch.revents & (POLLERR | POLLHUP | POLLNVAL))
        return true;
    char byte;
    const ssize_t peeked = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return peeked == 0 || (peeked < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

// A copy to send, since libcups consumes the requests it sends and a
// retry needs the original.
IppPtr CopyOf(ipp_t* request)
{
    IppPtr copy(ippNew());
    if (!copy)
        return nullptr;
    ippSetOperation(copy.get(), ippGetOperation(request));
    ippSetRequestId(copy.get(), ippGetRequestId(request));
    ippCopyAttributes(copy.get(), request, 0, nullptr, nullptr);
    return copy;
}

bool AllDigits(std::string_view text)
{
    if (text.empty())
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

}  // namespace

SigpipeBlock::SigpipeBlock()
{
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, &previous_);
    sigset_t pending;
    sigpending(&pending);
    wasPending_ = sigismember(&pending, SIGPIPE) == 1;
}

SigpipeBlock::~SigpipeBlock()
{
    sigset_t pending;
    sigpending(&pending);
    if (!wasPending_ && sigismember(&pending, SIGPIPE) == 1) {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        const timespec none{0, 0};
        while (sigtimedwait(&pipe, nullptr, &none) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

CupsEndpoint CupsEndpoint::Default()
{
    CupsEndpoint endpoint;
    endpoint.host = cupsServer();
    endpoint.port = ippPort();
    endpoint.encryption = cupsEncryption();
    endpoint.user = cupsUser();
    return endpoint;
}

CupsEndpoint CupsEndpoint::FromAddress(std::string_view address)
{
    CupsEndpoint endpoint = Default();
    if (address.empty())
        return endpoint;
    endpoint.port = 631;
    std::string_view host = address;
    if (address.front() != '/') {
        const size_t colon = address.rfind(':');
        const size_t bracket = address.rfind(']');
        if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket) &&
            AllDigits(address.substr(colon + 1)) && address.size() - colon - 1 <= 5) {
            endpoint.port = std::stoi(std::string(address.substr(colon + 1)));
            host = address.substr(0, colon);
        }
        if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
            host = host.substr(1, host.size() - 2);
    }
    endpoint.host = std::string(host);
    return endpoint;
}

bool IsSuccess(ipp_status_t status)
{
    return status <= IPP_STATUS_OK_EVENTS_COMPLETE;
}

std::uint32_t SpoolerErrorFor(ipp_status_t status)
{
    if (IsSuccess(status))
        return 0;
    switch (status) {
    case IPP_STATUS_ERROR_NOT_FOUND:
    case IPP_STATUS_ERROR_GONE: return spooler_error::kInvalidPrinterName;
    case IPP_STATUS_ERROR_SERVICE_UNAVAILABLE:
    case IPP_STATUS_ERROR_TIMEOUT: return spooler_error::kServiceUnavailable;
    case IPP_STATUS_ERROR_INTERNAL:
        // libcups reports a broken connection this way too; the scheduler
        // itself almost never does.
        return spooler_error::kServiceUnavailable;
    case IPP_STATUS_ERROR_TOO_MANY_SUBSCRIPTIONS:
    case IPP_STATUS_ERROR_TOO_MANY_JOBS: return spooler_error::kNotEnoughMemory;
    default: return spooler_error::kGeneralFailure;
    }
}

Failure IppFailure(ipp_op_t operation, ipp_status_t status)
{
    return {std::string(ippOpString(operation)) + ": " + ippErrorString(status),
            static_cast<int>(SpoolerErrorFor(status))};
}

CupsConnection::CupsConnection(CupsEndpoint endpoint) : endpoint_(std::move(endpoint)) {}

namespace {

IppPtr AddressedRequest(ipp_op_t op, const char* target, const std::string& uri, const std::string& user)
{
    IppPtr request(ippNewRequest(op));
    if (!request)
        return nullptr;
    ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, target, nullptr, uri.c_str());
    ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, user.c_str());
    return request;
}

}  // namespace

IppPtr CupsConnection::NewRequest(ipp_op_t op, const std::string& printerUri) const
{
    return AddressedRequest(op, "printer-uri", printerUri, endpoint_.user);
}

IppPtr CupsConnection::NewJobRequest(ipp_op_t op, std::uint32_t jobId) const
{
    return AddressedRequest(op, "job-uri", "ipp://localhost/jobs/" + std::to_string(jobId), endpoint_.user);
}

std::string CupsConnection::ServerUri() const
{
    return "ipp://localhost/";
}

std::string CupsConnection::QueueUri(std::string_view queue, bool isClass) const
{
    char uri[HTTP_MAX_URI];
    const std::string name(queue);
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", 0,
                     isClass ? "/classes/%s" : "/printers/%s", name.c_str());
    return uri;
}

http_t* CupsConnection::ConnectedLocked()
{
    if (http_ && PeerClosed(http_.get()))
        http_.reset();
    if (!http_) {
        http_.reset(httpConnect2(endpoint_.host.c_str(), endpoint_.port, nullptr, AF_UNSPEC, endpoint_.encryption, 1,
                                 kConnectMilliseconds, nullptr));
        if (!http_)
            return nullptr;
        httpSetTimeout(http_.get(), kReplySeconds, nullptr, nullptr);
        ++connections_;
    }
    return http_.get();
}

IppReply CupsConnection::SendOnceLocked(http_t* http, ipp_t* request)
{
    IppPtr copy = CopyOf(request);
    if (!copy)
        return {nullptr, IPP_STATUS_ERROR_INTERNAL};
    cupsSetPasswordCB2(NoPassword, nullptr);
    IppPtr response(cupsDoRequest(http, copy.release(), "/"));
    if (!response) {
        const ipp_status_t status = cupsLastError();
        return {nullptr, IsSuccess(status) ? IPP_STATUS_ERROR_SERVICE_UNAVAILABLE : status};
    }
    const ipp_status_t status = ippGetStatusCode(response.get());
    return {std::move(response), status};
}

IppReply CupsConnection::Send(IppPtr request)
{
    if (!request)
        return {nullptr, IPP_STATUS_ERROR_INTERNAL};
    SigpipeBlock noSigpipe;
    std::lock_guard lock(mutex_);
    IppReply reply;
    for (int attempt = 0; attempt < 2; ++attempt) {
        http_t* http = ConnectedLocked();
        if (!http)
            return {nullptr, IPP_STATUS_ERROR_SERVICE_UNAVAILABLE};
        reply = SendOnceLocked(http, request.get());
        if (reply.response)
            return reply;
        // Only a broken connection is worth a second try, on a new one.
        if (reply.status != IPP_STATUS_ERROR_SERVICE_UNAVAILABLE && reply.status != IPP_STATUS_ERROR_INTERNAL)
            return reply;
        http_.reset();
    }
    return reply;
}

DocumentReply CupsConnection::FetchDocument(IppPtr request, std::size_t maxBytes)
{
    if (!request)
        return {IPP_STATUS_ERROR_INTERNAL, {}};
    SigpipeBlock noSigpipe;
    std::lock_guard lock(mutex_);
    http_t* http = ConnectedLocked();
    if (!http)
        return {};
    cupsSetPasswordCB2(NoPassword, nullptr);
    IppPtr response;
    // A scheduler that wants the operation authenticated lets root of its
    // own machine in through its local certificate; nobody gets a password.
    for (int attempt = 0; attempt < 2 && !response; ++attempt) {
        const http_status_t sent = cupsSendRequest(http, request.get(), "/", ippLength(request.get()));
        if (sent == HTTP_STATUS_CONTINUE || sent == HTTP_STATUS_OK)
            response.reset(cupsGetResponse(http, "/"));
        else
            httpFlush(http);
        if (response || httpGetStatus(http) != HTTP_STATUS_UNAUTHORIZED || cupsDoAuthentication(http, "POST", "/"))
            break;
    }
    DocumentReply reply;
    if (!response) {
        reply.status = IsSuccess(cupsLastError()) ? IPP_STATUS_ERROR_NOT_AUTHORIZED : cupsLastError();
        http_.reset();  // whatever is left on it is of no use
        return reply;
    }
    reply.status = ippGetStatusCode(response.get());
    if (!reply.Ok()) {
        httpFlush(http);
        return reply;
    }
    char buffer[64 * 1024];
    while (reply.bytes.size() < maxBytes) {
        const ssize_t got = httpRead2(http, buffer, std::min(sizeof(buffer), maxBytes - reply.bytes.size()));
        if (got <= 0) {
            if (got < 0)
                http_.reset();
            return reply;
        }
        reply.bytes.append(buffer, static_cast<size_t>(got));
    }
    // The rest of a long document stays unread.
    http_.reset();
    return reply;
}

std::uint64_t CupsConnection::Connections() const
{
    return connections_.load();
}

void CupsConnection::Close()
{
    std::lock_guard lock(mutex_);
    http_.reset();
}

std::string IppText(ipp_attribute_t* attr)
{
    if (!attr)
        return {};
    std::string text;
    for (int i = 0, count = ippGetCount(attr); i < count; ++i) {
        const char* value = ippGetString(attr, i, nullptr);
        if (!value)
            continue;
        if (!text.empty())
            text += ',';
        text += value;
    }
    return text;
}

std::int64_t IppNumber(ipp_attribute_t* attr)
{
    if (!attr)
        return 0;
    switch (ippGetValueTag(attr)) {
    case IPP_TAG_INTEGER:
    case IPP_TAG_ENUM: return ippGetInteger(attr, 0);
    case IPP_TAG_BOOLEAN: return ippGetBoolean(attr, 0);
    default: return 0;
    }
}

}  // namespace ostrel::cups
