#include "RegCommand.h"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    try {
        std::vector<std::string> args(argv + 1, argv + argc);
        return ostrel::reg::RunRegCommand(args, ostrel::LocalMachineHive(), std::cin, std::cout, std::cerr);
    } catch (const std::exception& error) {
        std::cerr << "ERROR: " << error.what() << '\n';
        return 1;
    }
}
