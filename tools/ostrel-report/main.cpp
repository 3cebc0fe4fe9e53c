#include "ApplicationFolder.h"
#include "CentralSettings.h"
#include "PqDatabase.h"
#include "ReportCommand.h"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        const std::unique_ptr<ostrel::SqlDatabase> database = ostrel::MakePqDatabase();
        const ostrel::report::ReportCommandSetup setup{ostrel::ReadApplicationFolder(), ostrel::SystemClock(),
                                                       ostrel::ReadCentralSettings(ostrel::LocalMachineHive()).conninfo,
                                                       database.get()};
        return ostrel::report::RunReportCommand(args, setup, std::cout, std::cerr);
    } catch (const std::exception& error) {
        std::cerr << "ostrel-report: " << error.what() << '\n';
        return 1;
    }
}
