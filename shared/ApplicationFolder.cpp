#include "ApplicationFolder.h"

#include "RegValue.h"

namespace ostrel {

std::string ReadApplicationFolder()
{
    std::string folder = RegValueString("Software\\Ostrel\\AppPath", "").Get();
    while (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    return folder;
}

std::filesystem::path InApplicationFolder(std::string_view appFolder, std::string_view tail)
{
    std::string path(appFolder);
    path += '/';
    path += tail;
    return path;
}

}  // namespace ostrel
