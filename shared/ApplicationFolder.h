#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace ostrel {

// The application folder as the registry value AppPath gives it, without a
// trailing '/'. Empty when AppPath is missing.
std::string ReadApplicationFolder();

// A file of the application folder: the folder, '/', then `tail`. An empty
// folder gives a path from the root, never one relative to the current
// folder.
std::filesystem::path InApplicationFolder(std::string_view appFolder, std::string_view tail);

}  // namespace ostrel
