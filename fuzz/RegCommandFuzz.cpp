// ostrel-reg's command lines against a store in a private folder. The input
// is up to eight command lines, the arguments split at blanks; a line that
// starts with '?' is an answer to the questions the commands ask.

#include "FuzzFolder.h"
#include "FuzzSupport.h"
#include "RegCommand.h"
#include "RegistryHive.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

using namespace ostrel;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxCommands = 8;

std::vector<std::string> Arguments(std::string_view line)
{
    std::vector<std::string> args;
    std::string arg;
    for (const char c : line) {
        if (c == ' ') {
            if (!arg.empty())
                args.push_back(std::move(arg));
            arg.clear();
        } else {
            arg += c;
        }
    }
    if (!arg.empty())
        args.push_back(std::move(arg));
    return args;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The query for the value an add command names: its key and /v, without
// the type, the data and /f.
std::vector<std::string> QueryOf(const std::vector<std::string>& add)
{
    std::vector<std::string> query = {"query"};
    for (std::size_t i = 1; i < add.size(); ++i) {
        const std::string name = Lower(add[i]);
        if (name == "/t" || name == "/d")
            ++i;
        else if (name != "/f")
            query.push_back(add[i]);
    }
    return query;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input = fuzz::Text(data, size);
    std::vector<std::vector<std::string>> commands;
    std::string answers;
    while (!input.empty()) {
        const std::string_view line = fuzz::TakeLine(input);
        if (line.starts_with('?'))
            answers += std::string(line.substr(1)) + '\n';
        else if (commands.size() < kMaxCommands)
            commands.push_back(Arguments(line));
    }

    const fs::path& root = fuzz::FuzzFolder::Emptied();
    DirectoryRegistry hive(root / "store" / "HKEY_LOCAL_MACHINE");
    std::istringstream in(answers);
    for (const std::vector<std::string>& args : commands) {
        std::ostringstream out;
        std::ostringstream err;
        const int code = reg::RunRegCommand(args, hive, in, out, err);
        // Success is silent on the error stream; a failure says why, or
        // that it was cancelled.
        FUZZ_CHECK(code == 0 || code == 1);
        if (code == 0)
            FUZZ_CHECK(err.str().empty());
        else
            FUZZ_CHECK(!err.str().empty() || out.str().ends_with("The operation was cancelled.\n"));

        // A value just added can be queried.
        if (code == 0 && !args.empty() && Lower(args.front()) == "add" &&
            std::none_of(args.begin() + 1, args.end(), [](const std::string& arg) {
                return arg == "/?" || arg == "-?" || arg == "-h" || arg == "--help";
            })) {
            std::istringstream none;
            std::ostringstream queryOut;
            std::ostringstream queryErr;
            FUZZ_CHECK(reg::RunRegCommand(QueryOf(args), hive, none, queryOut, queryErr) == 0);
        }
    }

    // Nothing lands beside the hive.
    const std::vector<std::string> top = fuzz::NamesIn(root);
    FUZZ_CHECK(top.empty() || top == std::vector<std::string>{"store"});
    const std::vector<std::string> store = fuzz::NamesIn(root / "store");
    FUZZ_CHECK(store.empty() || store == std::vector<std::string>{"HKEY_LOCAL_MACHINE"});
    return 0;
}
