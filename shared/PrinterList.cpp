#include "PrinterList.h"

#include "EPrinter.h"

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
    if (name && name->size() > 31) {
        // Cut at a character boundary, so that a UTF-8 name stays valid.
        size_t cut = 31;
        while (cut > 0 && (static_cast<unsigned char>((*name)[cut]) & 0xC0) == 0x80)
            --cut;
        name->resize(cut);
    }
    return name;
}

}  // namespace ostrel
