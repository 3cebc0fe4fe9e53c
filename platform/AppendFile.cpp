#include "AppendFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace ostrel {
namespace {

thread_local int t_lastError = 0;

template <class T>
T Failed(T value)
{
    t_lastError = errno;
    return value;
}

}  // namespace

std::optional<AppendFile> AppendFile::Open(const std::filesystem::path& file, mode_t newFileMode)
{
    const int fd = ::open(file.c_str(), O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, newFileMode);
    if (fd < 0)
        return Failed(std::optional<AppendFile>());
    return AppendFile(fd);
}

AppendFile::AppendFile(AppendFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

AppendFile& AppendFile::operator=(AppendFile&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

AppendFile::~AppendFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::optional<std::int64_t> AppendFile::Size() const
{
    struct stat status {};
    if (::fstat(fd_, &status) != 0)
        return Failed(std::optional<std::int64_t>());
    return static_cast<std::int64_t>(status.st_size);
}

std::optional<std::string> AppendFile::ReadAt(std::int64_t offset, std::size_t count) const
{
    std::string bytes(count, '\0');
    std::size_t got = 0;
    while (got < count) {
        const ssize_t read = ::pread(fd_, bytes.data() + got, count - got, static_cast<off_t>(offset + got));
        if (read < 0) {
            if (errno == EINTR)
                continue;
            return Failed(std::optional<std::string>());
        }
        if (read == 0)
            break;
        got += static_cast<std::size_t>(read);
    }
    bytes.resize(got);
    return bytes;
}

bool AppendFile::Append(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return Failed(false);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool AppendFile::Truncate(std::int64_t size)
{
    while (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
        if (errno != EINTR)
            return Failed(false);
    return true;
}

int AppendFile::LastError()
{
    return t_lastError;
}

std::optional<std::int64_t> FileSize(const std::filesystem::path& file)
{
    struct stat status {};
    if (::lstat(file.c_str(), &status) == 0)
        return static_cast<std::int64_t>(status.st_size);
    if (errno == ENOENT || errno == ENOTDIR)
        return -1;
    return Failed(std::optional<std::int64_t>());
}

bool RemoveFile(const std::filesystem::path& file)
{
    return ::unlink(file.c_str()) == 0 || errno == ENOENT;
}

}  // namespace ostrel
