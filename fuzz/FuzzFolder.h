#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ostrel::fuzz {

// A private temporary folder for the targets that need a registry store on
// disk: made once per process in $TMPDIR (scripts/fuzz points that at
// memory, since every registry write syncs), emptied before every input so
// that inputs never see each other's values, removed at exit.
class FuzzFolder {
public:
    static const std::filesystem::path& Path();
    // Removes everything inside; returns the folder.
    static const std::filesystem::path& Emptied();
};

// The names of the entries of `folder`, in the order the system lists them;
// none when it cannot be read.
std::vector<std::string> NamesIn(const std::filesystem::path& folder);

}  // namespace ostrel::fuzz
