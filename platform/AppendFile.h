#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// A file held open for appending, as the monitor's logs and its journal
// need it: the size is read, the bytes past a known size are compared and
// cut back, and every append is one write, so that a record is either
// there whole or can be taken back whole.
class AppendFile {
public:
    // Opens `file` for appending, creating it with `newFileMode` when
    // missing. A symbolic link in its last component is refused. Nothing
    // when it cannot be opened; LastError() then tells why.
    static std::optional<AppendFile> Open(const std::filesystem::path& file, mode_t newFileMode = 0664);

    AppendFile(AppendFile&& other) noexcept;
    AppendFile& operator=(AppendFile&& other) noexcept;
    ~AppendFile();

    // Nothing when the size cannot be read.
    std::optional<std::int64_t> Size() const;
    // At most `count` bytes from `offset`; nothing when they cannot be read.
    std::optional<std::string> ReadAt(std::int64_t offset, std::size_t count) const;
    // All of `bytes`, or false (see LastError) with whatever part was
    // written left for the caller to cut back.
    bool Append(std::string_view bytes);
    bool Truncate(std::int64_t size);

    // The errno of the last failed call on this thread, e.g. ENOSPC.
    static int LastError();

private:
    explicit AppendFile(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// The size of `file`, without following a link: -1 when it does not exist,
// nothing when it cannot be told.
std::optional<std::int64_t> FileSize(const std::filesystem::path& file);

// Removes `file` if it is there; false when it stays.
bool RemoveFile(const std::filesystem::path& file);

}  // namespace ostrel
