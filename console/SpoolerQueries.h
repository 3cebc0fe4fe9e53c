#pragma once

#include "Spooler.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// The printer list as the printers page receives it: the names, or the
// message of the EPrinter the enumeration raised.
struct PrinterListAnswer {
    std::vector<std::string> names;
    std::optional<std::string> failure;
};

// The console's questions to the spooler, asked off the interface thread so
// that a slow or distant scheduler never freezes a window. Answers arrive on
// the interface thread, and only the answer to the latest question of each
// kind: one that a later question overtook is dropped. Without a spooler,
// there are no printers and no default printer. GUI thread only.
class SpoolerQueries {
public:
    explicit SpoolerQueries(std::shared_ptr<Spooler> spooler);
    ~SpoolerQueries();
    SpoolerQueries(const SpoolerQueries&) = delete;
    SpoolerQueries& operator=(const SpoolerQueries&) = delete;

    void AskPrinters(std::function<void(PrinterListAnswer)> answer);
    // The default printer's name cut to 31 bytes, or nothing.
    void AskDefaultPrinter(std::function<void(std::optional<std::string>)> answer);

    // What the answers of the pool's threads find again, if it still lives.
    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace ostrel
