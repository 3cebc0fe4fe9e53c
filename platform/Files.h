#pragma once

#include "FileDescriptor.h"

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// Helpers on an open descriptor. Each loops on EINTR and short transfers.

// Writes all of `bytes`; false on the first error, with the number of bytes
// that went in before it in `written` when given.
bool WriteAll(int fd, std::string_view bytes, std::size_t* written = nullptr);

// Everything from the current offset to the end; nothing on a read error.
std::optional<std::string> ReadAll(int fd);

// On an O_APPEND descriptor: `bytes` in one write, preceded in the same
// write by `headOfNewFile` when the file is empty. False when nothing or
// only part was written.
bool AppendOnce(int fd, std::string_view bytes, std::string_view headOfNewFile = {});

// The file's size, from fstat.
std::optional<std::uint64_t> FileSize(int fd);

// What one fstat tells of an open file: whether it is a regular file that
// still has a name (one deleted while open has none), and its size.
struct OpenFileState {
    bool namedRegularFile = false;
    std::uint64_t size = 0;
};
std::optional<OpenFileState> StateOf(int fd);

// Up to `length` bytes from `offset` (fewer at the end of the file), without
// moving the descriptor's offset.
std::optional<std::string> ReadAt(int fd, std::uint64_t offset, std::size_t length);

// Cuts the file back to `size` bytes.
bool TruncateTo(int fd, std::uint64_t size);

// fdatasync (the bytes, and the size that reaches them) and fsync (all of
// it; on a folder, its entries) of an open file; false when the disk did
// not confirm.
bool SyncData(int fd);
bool SyncAll(int fd);

// Whether `file` names anything (a link: what it leads to), and whether it
// is a regular file; false also when that cannot be told.
bool FileExists(const std::filesystem::path& file);
bool IsRegularFile(const std::filesystem::path& file);

// Whether `file` is `folder` or lies below it, both with their links
// resolved, so that neither ".." nor a link leads out; false when either
// cannot be resolved.
bool LiesWithin(const std::filesystem::path& file, const std::filesystem::path& folder);

// The exact bytes of a file, or nothing when it is missing or unreadable.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& file);

// Replaces `file` with `bytes` so that a reader, and the disk after a power
// cut, sees either the old or the new content, never a mix: SafeFolder's
// Replace in the folder of `file`, which is trusted as given. An existing
// file keeps its permission bits; a new one gets `newFileMode`. Returns
// false, leaving `file` untouched, when any step fails.
bool ReplaceFile(const std::filesystem::path& file, std::string_view bytes, mode_t newFileMode = 0664);

// Appends `bytes` to `file` in one write on an O_APPEND descriptor, creating
// the file when missing; an empty file gets `headOfNewFile` first, in the
// same write. Returns false when nothing or only part was written.
bool AppendToFile(const std::filesystem::path& file, std::string_view bytes, std::string_view headOfNewFile = {},
                  mode_t newFileMode = 0664);

// An exclusive advisory lock (flock) on a lock file, held for the lifetime of
// the object. The lock file is created when missing. When it cannot be
// opened (no rights, or a symbolic link in its place, which is never
// followed), the object holds no lock and Held() is false; callers carry on,
// since their own write will then fail the same way.
class FileLock {
public:
    explicit FileLock(const std::filesystem::path& lockFile);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace ostrel
