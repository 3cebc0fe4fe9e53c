#include "CupsSpooler.h"

#include "CupsContext.h"
#include "CupsJobFields.h"
#include "CupsPrinter.h"

#include <cstdlib>
#include <set>

namespace ostrel {
namespace cups {
namespace {

// Network printers the client merely found on the network are no queues of
// the scheduler, and their jobs are not ours to watch.
bool MerelyDiscovered(const cups_dest_t& dest)
{
    const char* type = cupsGetOption("printer-type", dest.num_options, dest.options);
    return type && (std::strtoul(type, nullptr, 10) & CUPS_PRINTER_DISCOVERED);
}

class CupsSpooler final : public Spooler {
public:
    explicit CupsSpooler(const CupsSpoolerOptions& options)
        : context_(std::make_shared<CupsContext>(
              CupsEndpoint::FromAddress(options.server),
              PumpOptions{options.pollInterval, options.idleInterval, options.quickAfterNews, options.lease},
              pages::CountLimits{options.documentMegabytes << 20}))
    {
    }

    SpoolerResult<std::unique_ptr<SpoolerPrinter>> OpenPrinter(std::string_view name) override
    {
        using Result = SpoolerResult<std::unique_ptr<SpoolerPrinter>>;
        if (!PlausibleQueueName(name))
            return Result::Failure(spooler_error::kInvalidPrinterName);
        CupsConnection& connection = context_->requests;
        IppPtr request = connection.NewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, connection.QueueUri(name));
        if (!request)
            return Result::Failure(spooler_error::kNotEnoughMemory);
        static const char* const kWanted[] = {"printer-name", "printer-type"};
        ippAddStrings(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                      static_cast<int>(std::size(kWanted)), nullptr, kWanted);
        IppReply reply = connection.Send(std::move(request));
        if (!reply.Ok())
            return IppFailure(IPP_OP_GET_PRINTER_ATTRIBUTES, reply.status);
        // CUPS matches names without regard to case; the watchers and the
        // job listings use the name as CUPS spells it.
        std::string queue = IppText(ippFindAttribute(reply.response.get(), "printer-name", IPP_TAG_NAME));
        if (queue.empty())
            queue = std::string(name);
        const bool isClass =
            IppNumber(ippFindAttribute(reply.response.get(), "printer-type", IPP_TAG_ENUM)) & CUPS_PRINTER_CLASS;
        std::string uri = connection.QueueUri(queue, isClass);
        return std::unique_ptr<SpoolerPrinter>(
            std::make_unique<CupsPrinter>(context_, std::move(queue), std::move(uri)));
    }

    SpoolerResult<std::vector<std::string>> PrinterNames() override
    {
        using Result = SpoolerResult<std::vector<std::string>>;
        return context_->requests.WithHttp([](http_t* http) -> Result {
            if (!http)
                return Result::Failure(spooler_error::kServiceUnavailable);
            cups_dest_t* dests = nullptr;
            const int count = cupsGetDests2(http, &dests);
            // No destinations is a valid answer; an error status is not.
            if (count == 0 && !IsSuccess(cupsLastError()))
                return Result::Failure(SpoolerErrorFor(cupsLastError()),
                                       std::string("cupsGetDests2: ") + cupsLastErrorString());
            std::vector<std::string> names;
            std::set<std::string> seen;  // a printer appears once per instance
            for (int i = 0; i < count; ++i)
                if (!MerelyDiscovered(dests[i]) && seen.insert(dests[i].name).second)
                    names.emplace_back(dests[i].name);
            cupsFreeDests(count, dests);
            return names;
        });
    }

    std::optional<std::string> DefaultPrinter() override
    {
        return context_->requests.WithHttp([](http_t* http) -> std::optional<std::string> {
            if (!http)
                return std::nullopt;
            cups_dest_t* dests = nullptr;
            const int count = cupsGetDests2(http, &dests);
            std::optional<std::string> name;
            // The default as `lp` would pick it: LPDEST/PRINTER, lpoptions,
            // then the scheduler's.
            if (const cups_dest_t* dest = cupsGetDest(nullptr, nullptr, count, dests))
                name = dest->name;
            cupsFreeDests(count, dests);
            return name;
        });
    }

    std::string Address() const override
    {
        const CupsEndpoint& endpoint = context_->requests.Endpoint();
        if (!endpoint.host.empty() && endpoint.host.front() == '/')
            return endpoint.host;
        return endpoint.host + ":" + std::to_string(endpoint.port);
    }

private:
    std::shared_ptr<CupsContext> context_;
};

}  // namespace
}  // namespace cups

std::unique_ptr<Spooler> MakeCupsSpooler(CupsSpoolerOptions options)
{
    return std::make_unique<cups::CupsSpooler>(options);
}

}  // namespace ostrel
