#include "PrinterList.h"

#include "EPrinter.h"
#include "FakeSpooler.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

TEST(PrinterList, ListsThePrintersOrRaisesTheEnumerationFailure)
{
    FakeSpooler spooler;
    spooler.SetPrinterNames(std::vector<std::string>{"Laser", "Team"});
    EXPECT_EQ(EnumeratePrinters(spooler), (std::vector<std::string>{"Laser", "Team"}));

    spooler.SetPrinterNames(SpoolerResult<std::vector<std::string>>::Failure(spooler_error::kServiceUnavailable));
    try {
        EnumeratePrinters(spooler);
        FAIL() << "no EPrinter";
    } catch (const EPrinter& error) {
        EXPECT_EQ(error.Code(), spooler_error::kServiceUnavailable);
        EXPECT_EQ(error.Message(), "Couldn't read the information about printers");
    }
}

TEST(PrinterList, TheDefaultPrinterIsShownAtMost31CharactersLong)
{
    struct Case {
        const char* label;
        std::optional<std::string> name;
        std::optional<std::string> shown;
    };
    const Case cases[] = {
        {"none", std::nullopt, std::nullopt},
        {"short", "Laser", "Laser"},
        {"exactly 31", std::string(31, 'x'), std::string(31, 'x')},
        {"longer", std::string(40, 'y'), std::string(31, 'y')},
        // 30 ASCII characters, then a two-byte one that would be split.
        {"split character", std::string(30, 'z') + "\xC3\xA9" + "abc", std::string(30, 'z')},
    };
    FakeSpooler spooler;
    for (const auto& c : cases) {
        spooler.SetDefaultPrinter(c.name);
        EXPECT_EQ(DefaultPrinterName(spooler), c.shown) << c.label;
    }
}

}  // namespace
}  // namespace ostrel
