#include "FolderWalk.h"

#include "FileEvents.h"
#include "Files.h"
#include "LinkRefusals.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace ostrel::folder_walk {

std::optional<Names> Split(std::string_view relative, bool emptyAllowed)
{
    Names names;
    if (relative.empty()) {
        if (emptyAllowed)
            return names;
        return std::nullopt;
    }
    if (relative.front() == '/')
        return std::nullopt;
    for (;;) {
        const std::size_t slash = relative.find('/');
        const std::string_view name = relative.substr(0, slash);
        if (name.empty() || name == "." || name == "..")
            return std::nullopt;
        names.push_back(name);
        if (slash == std::string_view::npos)
            return names;
        relative.remove_prefix(slash + 1);
    }
}

std::string Join(const std::string& folder, std::string_view name)
{
    std::string path = folder;
    if (path.empty() || path.back() != '/')
        path += '/';
    path.append(name);
    return path;
}

SafeStatus FailedOpenStatus(int error, int folder, std::string_view name, const std::string& path)
{
    if (error == ELOOP || error == ENOTDIR || error == EMLINK) {
        struct stat status {};
        const std::string text(name);
        if (error == ELOOP ||
            (::fstatat(folder, text.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode))) {
            LinkRefusals::Instance().Refused(path);
            return SafeStatus::Link;
        }
        return SafeStatus::WrongType;
    }
    if (error == ENOENT)
        return SafeStatus::Missing;
    if (error == EISDIR || error == ENXIO)
        return SafeStatus::WrongType;
    return SafeStatus::Failed;
}

int OpenAt(int folder, std::string_view name, int flags, mode_t mode)
{
    const std::string text(name);
    int fd = -1;
    do {
        fd = ::openat(folder, text.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0 && (flags & O_CREAT))
        TellFileEvent({.kind = FileEvent::Kind::Opened, .folder = folder, .fd = fd, .name = name});
    return fd;
}

Safe<FileDescriptor> Walk(int start, std::string& path, const Names& names, MissingFolders missing)
{
    // The first step opens from `start` itself: a copy of it is made only
    // when there is no step to take.
    if (names.empty()) {
        FileDescriptor copy(::fcntl(start, F_DUPFD_CLOEXEC, 0));
        if (!copy.Valid())
            return {SafeStatus::Failed, {}};
        return {SafeStatus::Ok, std::move(copy)};
    }
    FileDescriptor current;
    for (const std::string_view name : names) {
        const int from = current.Valid() ? current.Get() : start;
        path = Join(path, name);
        constexpr int kFolder = O_RDONLY | O_DIRECTORY;
        int next = OpenAt(from, name, kFolder);
        if (next < 0 && errno == ENOENT && missing == MissingFolders::Create) {
            // Made by another thread or process meanwhile is as good. The
            // mode is set on the folder opened, never through its name, and
            // only when the umask took from it: a service not allowed to set
            // the setgid bit gets it from the parent and keeps it so. A
            // folder made here reaches the disk with its parent's entries,
            // so that the files made in it next survive a power cut.
            const bool made = ::mkdirat(from, std::string(name).c_str(), kPrivateFolderMode & 0777) == 0;
            if (made) {
                TellFileEvent({.kind = FileEvent::Kind::MadeFolder, .folder = from, .name = name});
                SyncAll(from);
            }
            if (made || errno == EEXIST)
                next = OpenAt(from, name, kFolder);
            struct stat status {};
            if (made && next >= 0 && ::fstat(next, &status) == 0 && (status.st_mode & 07777) != kPrivateFolderMode)
                ::fchmod(next, kPrivateFolderMode);
        }
        if (next < 0) {
            const int error = errno;
            return {FailedOpenStatus(error, from, name, path), {}, error};
        }
        current = FileDescriptor(next);
    }
    return {SafeStatus::Ok, std::move(current)};
}

Parent ParentOf(int start, const std::string& startPath, std::string_view relative, MissingFolders missing)
{
    std::optional<Names> names = Split(relative, false);
    if (!names)
        return {SafeStatus::BadName, {}, {}, {}};
    const std::string name(names->back());
    names->pop_back();
    std::string path = startPath;
    Safe<FileDescriptor> folder = Walk(start, path, *names, missing);
    if (!folder)
        return {folder.status, {}, {}, {}, folder.error};
    return {SafeStatus::Ok, std::move(folder.value), Join(path, name), name};
}

FileDescriptor OpenMaybeCreating(int folder, std::string_view name, int flags, mode_t mode)
{
    if ((flags & O_CREAT) == 0)
        return FileDescriptor(OpenAt(folder, name, flags));
    const bool exclusive = (flags & O_EXCL) != 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!exclusive) {
            FileDescriptor existing(OpenAt(folder, name, flags & ~O_CREAT));
            if (existing.Valid() || errno != ENOENT)
                return existing;
        }
        FileDescriptor made(OpenAt(folder, name, flags | O_EXCL, mode));
        if (made.Valid()) {
            if (::fchmod(made.Get(), mode) != 0)
                return FileDescriptor();
            return made;
        }
        // Made by someone else meanwhile: opened as theirs.
        if (exclusive || errno != EEXIST)
            return made;
    }
    return FileDescriptor();
}

}  // namespace ostrel::folder_walk
