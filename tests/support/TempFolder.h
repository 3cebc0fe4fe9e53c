#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ostrel::test {

// A fresh folder under $TMPDIR, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& tail) const { return path_ / tail; }

private:
    std::filesystem::path path_;
};

// The names of everything directly in `folder`, sorted.
std::vector<std::string> SortedFileNames(const std::filesystem::path& folder);

}  // namespace ostrel::test
