#include "Files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

}  // namespace

bool WriteAll(int fd, std::string_view bytes, std::size_t* written)
{
    std::size_t total = 0;
    while (!bytes.empty()) {
        const ssize_t once = ::write(fd, bytes.data(), bytes.size());
        if (once < 0) {
            if (errno == EINTR)
                continue;
            if (written)
                *written = total;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(once));
        total += static_cast<std::size_t>(once);
    }
    if (written)
        *written = total;
    return true;
}

std::optional<std::string> ReadAll(int fd)
{
    std::string bytes;
    char buffer[16384];
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            return bytes;
        bytes.append(buffer, static_cast<size_t>(got));
    }
}

bool AppendOnce(int fd, std::string_view bytes, std::string_view headOfNewFile)
{
    struct stat status {};
    if (headOfNewFile.empty() || ::fstat(fd, &status) != 0 || status.st_size != 0)
        return WriteAll(fd, bytes);
    std::string whole;
    whole.reserve(headOfNewFile.size() + bytes.size());
    whole.append(headOfNewFile).append(bytes);
    return WriteAll(fd, whole);
}

std::optional<std::uint64_t> FileSize(int fd)
{
    struct stat status {};
    if (::fstat(fd, &status) != 0 || status.st_size < 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(status.st_size);
}

std::optional<OpenFileState> StateOf(int fd)
{
    struct stat status {};
    if (::fstat(fd, &status) != 0 || status.st_size < 0)
        return std::nullopt;
    return OpenFileState{S_ISREG(status.st_mode) && status.st_nlink > 0, static_cast<std::uint64_t>(status.st_size)};
}

std::optional<std::string> ReadAt(int fd, std::uint64_t offset, std::size_t length)
{
    std::string bytes(length, '\0');
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd, bytes.data() + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

bool TruncateTo(int fd, std::uint64_t size)
{
    int result = 0;
    do {
        result = ::ftruncate(fd, static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

bool FileExists(const std::filesystem::path& file)
{
    struct stat status {};
    return ::stat(file.c_str(), &status) == 0;
}

bool IsRegularFile(const std::filesystem::path& file)
{
    struct stat status {};
    return ::stat(file.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool LiesWithin(const std::filesystem::path& file, const std::filesystem::path& folder)
{
    std::error_code error;
    std::filesystem::path resolvedFolder = std::filesystem::weakly_canonical(folder, error);
    if (error)
        return false;
    if (!resolvedFolder.has_filename())  // "Logs/": its last part is empty
        resolvedFolder = resolvedFolder.parent_path();
    const std::filesystem::path resolvedFile = std::filesystem::weakly_canonical(file, error);
    if (error)
        return false;
    const auto ends = std::mismatch(resolvedFolder.begin(), resolvedFolder.end(), resolvedFile.begin(), resolvedFile.end());
    return ends.first == resolvedFolder.end();
}

std::optional<std::string> ReadFileBytes(const std::filesystem::path& file)
{
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid())
        return std::nullopt;
    return ReadAll(fd.Get());
}

bool ReplaceFile(const std::filesystem::path& file, std::string_view bytes, mode_t newFileMode)
{
    // Named after the file, cut short so that the longest file name still
    // leaves room for the prefix and the suffix.
    const std::string name = file.filename().string().substr(0, 200);
    std::string temporary = (file.parent_path() / ("." + name + ".XXXXXX")).string();
    FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.Get() < 0)
        return false;

    struct stat existing {};
    const mode_t mode = ::stat(file.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : newFileMode;
    // fsync before the rename, so that a crash leaves the old or the new
    // content and never an empty file.
    const bool written = ::fchmod(fd.Get(), mode) == 0 && WriteAll(fd.Get(), bytes) && ::fsync(fd.Get()) == 0;
    if (::close(fd.Release()) != 0 || !written || ::rename(temporary.c_str(), file.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.Get() >= 0)
        ::fsync(directory.Get());
    return true;
}

bool AppendToFile(const std::filesystem::path& file, std::string_view bytes, std::string_view headOfNewFile,
                  mode_t newFileMode)
{
    FileDescriptor fd(::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, newFileMode));
    return fd.Valid() && AppendOnce(fd.Get(), bytes, headOfNewFile);
}

FileLock::FileLock(const std::filesystem::path& lockFile)
{
    // Lock files sit in folders the administrators' group may write, and
    // root takes some of them: a link planted in the lock's place is never
    // followed, so that no file is created or opened elsewhere.
    // One this makes is for root and the group alone, whatever the umask.
    constexpr int kOpen = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    fd_ = ::open(lockFile.c_str(), kOpen);
    if (fd_ < 0 && errno == ENOENT) {
        fd_ = ::open(lockFile.c_str(), kOpen | O_CREAT | O_EXCL, 0660);
        if (fd_ >= 0)
            ::fchmod(fd_, 0660);
        else if (errno == EEXIST)
            fd_ = ::open(lockFile.c_str(), kOpen);
    }
    if (fd_ < 0 && errno != ELOOP)
        fd_ = ::open(lockFile.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        return;
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
    }
}

FileLock::~FileLock()
{
    if (fd_ >= 0)
        ::close(fd_);  // closing releases the lock
}

}  // namespace ostrel
