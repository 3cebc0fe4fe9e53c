#pragma once

#include "Spooler.h"

#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// Every printer and class the spooler offers, for the console's printer
// list. Raises EPrinter "Couldn't read the information about printers"
// with the spooler's code when the spooler cannot be asked.
std::vector<std::string> EnumeratePrinters(Spooler& spooler);

// The default printer's name as the status page shows it: at most 31
// characters, or nothing when there is no default printer.
std::optional<std::string> DefaultPrinterName(Spooler& spooler);

}  // namespace ostrel
