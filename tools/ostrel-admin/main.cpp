// ostrel-admin: the console's settings from the command line, for print
// servers without a desktop. The same edits as the console's pages, through
// the same code; see AdminCommand.h.

#include "AdminCommand.h"
#include "ApplicationFolder.h"
#include "CupsSpooler.h"
#include "Terminal.h"
#include "WriteRights.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv)
{
    try {
        const std::unique_ptr<ostrel::Spooler> spooler = ostrel::MakeCupsSpooler();
        const std::string appFolder = ostrel::ReadApplicationFolder();
        ostrel::admin::Environment environment{
            appFolder,
            *spooler,
            std::cout,
            std::cerr,
            [&] { return ostrel::WhyChangesCannotBeSaved(appFolder); },
            [] { return ostrel::ReadSecretLine("Password: "); },
            [](const std::filesystem::path& program) { return ostrel::RunToEnd(program); },
            [] { return ostrel::FindDaemon("kestrun-host.service", "kestrun-host"); },
        };
        const int status = ostrel::admin::Run({argv + 1, argv + argc}, environment);
        std::cout.flush();
        return std::cout ? status : ostrel::admin::kFailed;
    } catch (const std::exception& error) {
        std::cerr << "ostrel-admin: " << error.what() << '\n';
        return ostrel::admin::kFailed;
    }
}
