#include "PrinterWatcher.h"

#include "EPrinter.h"

namespace ostrel {

PrinterWatcher::PrinterWatcher(Spooler& spooler, std::string printerName) : printerName_(std::move(printerName))
{
    auto printer = spooler.OpenPrinter(printerName_);
    if (!printer)
        throw EPrinter(printer.Error(), eprinter::kCouldntOpenPrinter);
    printer_ = std::move(*printer);
}

void PrinterWatcher::CreateChangeNotification(std::uint32_t filter)
{
    auto changes = printer_->WatchChanges(filter);
    if (!changes)
        throw EPrinter(changes.Error(), eprinter::kCouldntCreateChangeNotification);
    changes_ = std::move(*changes);
}

std::vector<EndedJob> PrinterWatcher::EndedJobs()
{
    auto ended = printer_->EndedJobs();
    if (!ended)
        throw EPrinter(ended.Error(), eprinter::kCouldntRefreshQueue);
    return std::move(*ended);
}

int PrinterWatcher::WaitForChanges(std::uint32_t mask, std::optional<std::chrono::milliseconds> timeout,
                                   std::stop_token stop)
{
    if (!changes_)
        throw EPrinter(eprinter::kNoChangeNotificationCode, eprinter::kMustCreateChangeNotification);
    if (mask == 0)
        return 1;
    if (snapshotOwed_) {
        jobs_.Snapshot(printer_.get(), true);
        snapshotOwed_ = false;
        if ((printer_change::kDeleteJob & mask) == mask)
            return 1;
    }
    for (;;) {
        if (changes_->Wait(timeout, stop) != ChangeNotification::WaitResult::Signalled)
            return 0;
        auto block = changes_->Next();
        if (!block)
            throw EPrinter(block.Error(), eprinter::kFetchFailed);
        // A deletion is settled against the queue itself; the data of its
        // block are not needed for that.
        if (block->changes & printer_change::kDeleteJob) {
            snapshotOwed_ = true;
            jobs_.Snapshot(printer_.get(), true);
            snapshotOwed_ = false;
        } else {
            for (const NotifyEntry& entry : block->entries)
                jobs_.Apply(entry);
        }
        if ((block->changes & mask) == mask)
            return 1;
    }
}

}  // namespace ostrel
