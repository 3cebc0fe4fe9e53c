#include "SafeFolder.h"

#include "FileEvents.h"
#include "Files.h"
#include "FolderWalk.h"
#include "LinkRefusals.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <optional>

namespace ostrel {
namespace {

using namespace folder_walk;

// Six letters or digits from the kernel's random source, for temporary names.
std::string RandomSuffix()
{
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[6] = {};
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        static std::atomic<unsigned> counter{0};
        const unsigned value = counter++ ^ static_cast<unsigned>(::getpid());
        for (std::size_t i = 0; i < sizeof bytes; ++i)
            bytes[i] = static_cast<unsigned char>(value >> (i * 5));
    }
    std::string suffix;
    for (const unsigned char b : bytes)
        suffix += kLetters[b % (sizeof kLetters - 1)];
    return suffix;
}

}  // namespace

Safe<SafeFolder> SafeFolder::Open(const std::filesystem::path& appFolder, std::string_view relative,
                                  MissingFolders missing)
{
    const std::string root = appFolder.empty() ? std::string("/") : appFolder.string();
    FileDescriptor fd(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.Valid()) {
        const int error = errno;
        return {error == ENOENT ? SafeStatus::Missing : SafeStatus::Failed, {}, error};
    }
    return SafeFolder(std::move(fd), root).Folder(relative, missing);
}

Safe<SafeFolder> SafeFolder::Folder(std::string_view relative, MissingFolders missing) const
{
    const std::optional<Names> names = Split(relative, true);
    if (!names)
        return {SafeStatus::BadName, {}};
    std::string path = path_;
    Safe<FileDescriptor> fd = Walk(fd_.Get(), path, *names, missing);
    if (!fd)
        return {fd.status, {}, fd.error};
    return {SafeStatus::Ok, SafeFolder(std::move(fd.value), std::move(path))};
}

Safe<FileDescriptor> SafeFolder::OpenFile(std::string_view relative, int flags, mode_t mode, MissingFolders missing,
                                          struct stat* opened) const
{
    // A name of this very folder needs no walk: the recorder opens eighteen
    // files per job this way.
    Parent parent;
    const bool here =
        !relative.empty() && relative != "." && relative != ".." && relative.find('/') == std::string_view::npos;
    if (!here) {
        parent = ParentOf(fd_.Get(), path_, relative, missing);
        if (parent.status != SafeStatus::Ok)
            return {parent.status, {}, parent.error};
    }
    const int folder = here ? fd_.Get() : parent.folder.Get();
    const std::string_view name = here ? relative : std::string_view(parent.name);
    FileDescriptor fd = OpenMaybeCreating(folder, name, flags | O_NONBLOCK, mode);
    if (!fd.Valid()) {
        const int error = errno;
        return {FailedOpenStatus(error, folder, name, here ? Join(path_, name) : parent.path), {}, error};
    }
    struct stat status {};
    if (::fstat(fd.Get(), &status) != 0)
        return {SafeStatus::Failed, {}, errno};
    if (!S_ISREG(status.st_mode))
        return {SafeStatus::WrongType, {}};
    if (opened)
        *opened = status;
    if ((flags & O_NONBLOCK) == 0) {
        const int current = ::fcntl(fd.Get(), F_GETFL);
        if (current < 0 || ::fcntl(fd.Get(), F_SETFL, current & ~O_NONBLOCK) != 0)
            return {SafeStatus::Failed, {}, errno};
    }
    return {SafeStatus::Ok, std::move(fd)};
}

Safe<std::string> SafeFolder::ReadFile(std::string_view relative, std::uint64_t largest) const
{
    const Safe<FileDescriptor> fd = OpenFile(relative, O_RDONLY);
    if (!fd)
        return {fd.status, {}};
    const std::optional<std::uint64_t> size = FileSize(fd.value.Get());
    if (!size)
        return {SafeStatus::Failed, {}};
    if (*size > largest)
        return {SafeStatus::WrongType, {}};
    std::optional<std::string> bytes = ReadAll(fd.value.Get());
    if (!bytes)
        return {SafeStatus::Failed, {}};
    return {SafeStatus::Ok, std::move(*bytes)};
}

SafeStatus SafeFolder::Append(std::string_view relative, std::string_view bytes, std::string_view headOfNewFile,
                              mode_t newFileMode, MissingFolders missing) const
{
    const Safe<FileDescriptor> fd = OpenFile(relative, O_WRONLY | O_APPEND | O_CREAT, newFileMode, missing);
    if (!fd)
        return fd.status;
    return AppendOnce(fd.value.Get(), bytes, headOfNewFile) ? SafeStatus::Ok : SafeStatus::Failed;
}

SafeStatus SafeFolder::Replace(std::string_view relative, std::string_view bytes, mode_t mode, ReplaceMode how,
                               Durability durability) const
{
    const Parent parent = ParentOf(fd_.Get(), path_, relative, MissingFolders::Fail);
    if (parent.status != SafeStatus::Ok)
        return parent.status;
    const int folder = parent.folder.Get();

    struct stat existing {};
    if (how == ReplaceMode::KeepExisting &&
        ::fstatat(folder, parent.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(existing.st_mode))
        mode = existing.st_mode & 07777;

    // Named after the file, cut short so that the longest file name still
    // leaves room for the prefix and the suffix.
    const std::string stem = "." + parent.name.substr(0, 200) + ".";
    std::string temporary;
    FileDescriptor fd;
    for (int attempt = 0; attempt < 100 && !fd.Valid(); ++attempt) {
        temporary = stem + RandomSuffix();
        fd = FileDescriptor(OpenAt(folder, temporary, O_WRONLY | O_CREAT | O_EXCL, 0600));
        if (!fd.Valid() && errno != EEXIST)
            return SafeStatus::Failed;
    }
    if (!fd.Valid())
        return SafeStatus::Failed;

    // Written, then on the disk before the rename, so that a power cut
    // leaves the old or the new content and never an empty or short file;
    // the rename then reaches the disk with the folder.
    const bool written = ::fchmod(fd.Get(), mode) == 0 && WriteAll(fd.Get(), bytes) &&
                         (durability == Durability::KillSafe || SyncAll(fd.Get()));
    if (::close(fd.Release()) != 0 || !written ||
        ::renameat(folder, temporary.c_str(), folder, parent.name.c_str()) != 0) {
        if (::unlinkat(folder, temporary.c_str(), 0) == 0)
            TellFileEvent({.kind = FileEvent::Kind::Removed, .folder = folder, .name = temporary});
        return SafeStatus::Failed;
    }
    TellFileEvent({.kind = FileEvent::Kind::Renamed,
                   .folder = folder,
                   .toFolder = folder,
                   .name = temporary,
                   .newName = parent.name});
    if (durability == Durability::Synced && !SyncAll(folder))
        return SafeStatus::Failed;
    return SafeStatus::Ok;
}

Safe<std::vector<FolderEntry>> SafeFolder::List(std::string_view relative) const
{
    Safe<SafeFolder> folder = Folder(relative);
    if (!folder)
        return {folder.status, {}};
    // fdopendir takes the descriptor over; closedir closes it.
    DIR* listing = ::fdopendir(folder.value.fd_.Get());
    if (!listing)
        return {SafeStatus::Failed, {}};
    folder.value.fd_.Release();
    const int fd = ::dirfd(listing);

    std::vector<FolderEntry> entries;
    errno = 0;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat status {};
            if (::fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0)
                type = S_ISLNK(status.st_mode)   ? DT_LNK
                       : S_ISDIR(status.st_mode) ? DT_DIR
                       : S_ISREG(status.st_mode) ? DT_REG
                                                 : DT_UNKNOWN;
        }
        const FolderEntry::Type kind = type == DT_REG   ? FolderEntry::Type::File
                                       : type == DT_DIR ? FolderEntry::Type::Folder
                                       : type == DT_LNK ? FolderEntry::Type::Link
                                                        : FolderEntry::Type::Other;
        entries.push_back({std::string(name), kind});
        errno = 0;
    }
    const bool complete = errno == 0;
    ::closedir(listing);
    if (!complete)
        return {SafeStatus::Failed, {}};
    return {SafeStatus::Ok, std::move(entries)};
}

SafeStatus SafeFolder::Remove(std::string_view relative) const
{
    const Parent parent = ParentOf(fd_.Get(), path_, relative, MissingFolders::Fail);
    if (parent.status != SafeStatus::Ok)
        return parent.status;
    const int folder = parent.folder.Get();
    const char* name = parent.name.c_str();
    if (::unlinkat(folder, name, 0) == 0) {
        TellFileEvent({.kind = FileEvent::Kind::Removed, .folder = folder, .name = parent.name});
        return SafeStatus::Ok;
    }
    if (errno == ENOENT)
        return SafeStatus::Missing;
    if (errno == EISDIR || errno == ENOTDIR)
        return SafeStatus::WrongType;
    // Where the platform refuses to delete a read-only file, make it
    // writable and try once more.
    FileDescriptor fd(OpenAt(folder, parent.name, O_RDONLY | O_NONBLOCK));
    struct stat status {};
    if (fd.Valid() && ::fstat(fd.Get(), &status) == 0 && S_ISREG(status.st_mode))
        ::fchmod(fd.Get(), (status.st_mode & 07777) | S_IWUSR);
    if (::unlinkat(folder, name, 0) != 0)
        return SafeStatus::Failed;
    TellFileEvent({.kind = FileEvent::Kind::Removed, .folder = folder, .name = parent.name});
    return SafeStatus::Ok;
}

Safe<struct stat> SafeFolder::Stat(std::string_view relative) const
{
    // A name of this very folder needs no walk.
    Parent parent;
    const bool here =
        !relative.empty() && relative != "." && relative != ".." && relative.find('/') == std::string_view::npos;
    if (!here) {
        parent = ParentOf(fd_.Get(), path_, relative, MissingFolders::Fail);
        if (parent.status != SafeStatus::Ok)
            return {parent.status, {}};
    }
    const std::string name = here ? std::string(relative) : parent.name;
    struct stat status {};
    if (::fstatat(here ? fd_.Get() : parent.folder.Get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return {errno == ENOENT ? SafeStatus::Missing : SafeStatus::Failed, {}};
    if (S_ISLNK(status.st_mode)) {
        LinkRefusals::Instance().Refused(here ? Join(path_, name) : parent.path);
        return {SafeStatus::Link, status};
    }
    return {SafeStatus::Ok, status};
}

}  // namespace ostrel
