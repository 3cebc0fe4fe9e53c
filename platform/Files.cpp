#include "Files.h"

#include "FileEvents.h"
#include "SafeFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

namespace ostrel {
namespace {

std::atomic<FileEventSink*> g_fileEventSink{nullptr};

// What `fd` received, told once it is in: a write cut short is told as
// far as it went.
void TellWrote(int fd, std::string_view bytes)
{
    if (!bytes.empty() && g_fileEventSink.load(std::memory_order_relaxed))
        TellFileEvent({.kind = FileEvent::Kind::Wrote, .fd = fd, .bytes = bytes});
}

}  // namespace

void SetFileEventSink(FileEventSink* sink)
{
    g_fileEventSink.store(sink);
}

void TellFileEvent(const FileEvent& event)
{
    if (FileEventSink* sink = g_fileEventSink.load(std::memory_order_relaxed))
        sink->Happened(event);
}

bool WriteAll(int fd, std::string_view bytes, std::size_t* written)
{
    const std::string_view all = bytes;
    std::size_t total = 0;
    while (!bytes.empty()) {
        const ssize_t once = ::write(fd, bytes.data(), bytes.size());
        if (once < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            TellWrote(fd, all.substr(0, total));
            if (written)
                *written = total;
            errno = error;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(once));
        total += static_cast<std::size_t>(once);
    }
    TellWrote(fd, all);
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
    if (result == 0)
        TellFileEvent({.kind = FileEvent::Kind::CutTo, .fd = fd, .size = size});
    return result == 0;
}

bool SyncData(int fd)
{
    int result = 0;
    do {
        result = ::fdatasync(fd);
    } while (result != 0 && errno == EINTR);
    if (result == 0)
        TellFileEvent({.kind = FileEvent::Kind::Synced, .fd = fd});
    return result == 0;
}

bool SyncAll(int fd)
{
    int result = 0;
    do {
        result = ::fsync(fd);
    } while (result != 0 && errno == EINTR);
    if (result == 0)
        TellFileEvent({.kind = FileEvent::Kind::Synced, .fd = fd});
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
    const auto ends =
        std::mismatch(resolvedFolder.begin(), resolvedFolder.end(), resolvedFile.begin(), resolvedFile.end());
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
    // One way to replace a file in the whole tree: SafeFolder's. The folder
    // is trusted as given, as it always was here.
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    const Safe<SafeFolder> parent = SafeFolder::Open(folder);
    return parent && file.has_filename() &&
           parent.value.Replace(file.filename().string(), bytes, newFileMode) == SafeStatus::Ok;
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
