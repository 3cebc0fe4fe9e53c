#include "FuzzFolder.h"

#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

namespace ostrel::fuzz {
namespace {

namespace fs = std::filesystem;

fs::path MakeFolder()
{
    std::string pattern = (fs::temp_directory_path() / "ostrel-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        std::abort();
    return pattern;
}

struct Folder {
    fs::path path = MakeFolder();
    ~Folder()
    {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

Folder& TheFolder()
{
    static Folder folder;
    return folder;
}

}  // namespace

const fs::path& FuzzFolder::Path()
{
    return TheFolder().path;
}

const fs::path& FuzzFolder::Emptied()
{
    const fs::path& folder = Path();
    std::error_code ignored;
    std::vector<fs::path> items;
    for (fs::directory_iterator item(folder, ignored), end; item != end; item.increment(ignored))
        items.push_back(item->path());
    for (const fs::path& item : items)
        fs::remove_all(item, ignored);
    return folder;
}

std::vector<std::string> NamesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    std::error_code ignored;
    for (std::filesystem::directory_iterator item(folder, ignored), end; item != end; item.increment(ignored))
        names.push_back(item->path().filename().string());
    return names;
}

}  // namespace ostrel::fuzz
