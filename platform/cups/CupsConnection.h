#pragma once

#include "Result.h"

#include <cups/cups.h>
#include <signal.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace ostrel::cups {

struct IppDelete {
    void operator()(ipp_t* ipp) const noexcept { ippDelete(ipp); }
};
using IppPtr = std::unique_ptr<ipp_t, IppDelete>;

struct HttpClose {
    void operator()(http_t* http) const noexcept { httpClose(http); }
};
using HttpPtr = std::unique_ptr<http_t, HttpClose>;

// Where the scheduler is, and who we are to it.
struct CupsEndpoint {
    std::string host;  // name, address, or the path of a local socket
    int port = 631;
    http_encryption_t encryption = HTTP_ENCRYPTION_IF_REQUESTED;
    // Sent as requesting-user-name on every request: CUPS owns subscriptions
    // by that name, and shows private job attributes to the owner and to its
    // system group (root).
    std::string user;

    // The server libcups would use from this thread: CUPS_SERVER, then
    // client.conf, then the local scheduler.
    static CupsEndpoint Default();
    // "host", "host:port" or a socket path.
    static CupsEndpoint FromAddress(std::string_view address);
};

// Blocks SIGPIPE in the calling thread while it lives, and swallows one
// raised meanwhile: a write to a connection the scheduler has just closed
// must fail with EPIPE, not end the process.
class SigpipeBlock {
public:
    SigpipeBlock();
    ~SigpipeBlock();
    SigpipeBlock(const SigpipeBlock&) = delete;
    SigpipeBlock& operator=(const SigpipeBlock&) = delete;

private:
    sigset_t previous_{};
    bool wasPending_ = false;
};

// The one translation of IPP statuses into the spooler's error codes.
std::uint32_t SpoolerErrorFor(ipp_status_t status);

// The failure of the IPP operation `operation`: its name and the status it
// ended with ("Get-Jobs: client-error-not-found"), and the spooler's code.
Failure IppFailure(ipp_op_t operation, ipp_status_t status);

bool IsSuccess(ipp_status_t status);

struct IppReply {
    IppPtr response;
    ipp_status_t status = IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;

    bool Ok() const { return IsSuccess(status); }
};

// The answer to a request that returns a document after its attributes.
struct DocumentReply {
    ipp_status_t status = IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
    std::string bytes;  // the document's first bytes, at most the limit asked

    bool Ok() const { return IsSuccess(status); }
};

// One connection to the scheduler, shared by threads one request at a time.
// It reconnects on its own when the scheduler went away and came back.
class CupsConnection {
public:
    explicit CupsConnection(CupsEndpoint endpoint);
    CupsConnection(const CupsConnection&) = delete;
    CupsConnection& operator=(const CupsConnection&) = delete;

    const CupsEndpoint& Endpoint() const { return endpoint_; }

    // A request of `op` to the printer, class or server at `printerUri`,
    // with our requesting-user-name.
    IppPtr NewRequest(ipp_op_t op, const std::string& printerUri) const;
    // A request of `op` about one job.
    IppPtr NewJobRequest(ipp_op_t op, std::uint32_t jobId) const;
    std::string ServerUri() const;
    std::string QueueUri(std::string_view queue, bool isClass = false) const;

    // Sends the request and reads the answer; a connection that broke is
    // reopened and the request sent once more.
    IppReply Send(IppPtr request);

    // Sends a request whose answer carries a document (CUPS-Get-Document)
    // and reads at most `maxBytes` of it. A document longer than that is not
    // read to its end: the connection is closed instead and reopened by the
    // next request.
    DocumentReply FetchDocument(IppPtr request, std::size_t maxBytes);

    // Runs `use` on the open connection while nobody else uses it; null
    // when the scheduler cannot be reached.
    template <class Use>
    auto WithHttp(Use&& use)
    {
        SigpipeBlock noSigpipe;
        std::lock_guard lock(mutex_);
        return use(ConnectedLocked());
    }

    // How many times a connection was opened. A change between two requests
    // means the scheduler may have restarted in between. Does not wait for
    // a request under way.
    std::uint64_t Connections() const;

    // Closes the connection; the next request opens a new one.
    void Close();

private:
    http_t* ConnectedLocked();
    IppReply SendOnceLocked(http_t* http, ipp_t* request);

    const CupsEndpoint endpoint_;
    mutable std::mutex mutex_;
    HttpPtr http_;
    std::atomic<std::uint64_t> connections_ = 0;  // read without the mutex
};

// Attribute readers that tolerate absent and mistyped attributes.
std::string IppText(ipp_attribute_t* attr);
std::int64_t IppNumber(ipp_attribute_t* attr);

}  // namespace ostrel::cups
