#include "PrinterList.h"

#include "EPrinter.h"
#include "SafeText.h"

namespace ostrel {

std::vector<std::string> EnumeratePrinters(Spooler& spooler)
{
    auto names = spooler.PrinterNames();
    if (!names)
        throw EPrinter(names.Error(), eprinter::kCouldntReadPrinters);
    return std::move(*names);
}

std::optional<std::string> DefaultPrinterName(Spooler& spooler)
{
    auto name = spooler.DefaultPrinter();
    // Cut at a character boundary, so that a UTF-8 name stays valid.
    if (name)
        name->resize(Utf8CutPoint(*name, 31));
    return name;
}

}  // namespace ostrel
