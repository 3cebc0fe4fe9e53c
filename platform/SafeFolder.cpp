#include "SafeFolder.h"

#include "FileEvents.h"
#include "Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <syslog.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <optional>
#include <unordered_set>

namespace ostrel {
namespace {

using Names = std::vector<std::string_view>;

// The journal of refused links, process-wide: every SafeFolder of every
// thread reports to it.
class LinkRefusals {
public:
    static LinkRefusals& Instance()
    {
        static LinkRefusals refusals;
        return refusals;
    }

    void Set(LinkJournal journal)
    {
        std::lock_guard lock(mutex_);
        journal_ = std::move(journal);
        journaled_.clear();
        full_ = false;
    }

    void Refused(const std::string& path)
    {
        std::lock_guard lock(mutex_);
        if (full_ || journaled_.count(path))
            return;
        // Names are chosen by whoever plants the links; a bounded memory of
        // them keeps a flood of new names from growing the monitor.
        if (journaled_.size() >= kMostPaths) {
            full_ = true;
            Write("more symbolic links below the application folder were refused; no more are journaled");
            return;
        }
        journaled_.insert(path);
        Write("refused the symbolic link " + Escaped(path) + ": nothing below the application folder is opened "
              "through a link");
    }

private:
    static constexpr std::size_t kMostPaths = 1000;

    // Control characters and backslashes as \xNN, so that a planted name
    // cannot forge or break journal lines.
    static std::string Escaped(const std::string& text)
    {
        static constexpr char kHex[] = "0123456789abcdef";
        std::string out;
        for (const unsigned char c : text) {
            if (c < 0x20 || c == 0x7F || c == '\\') {
                out += "\\x";
                out += kHex[c >> 4];
                out += kHex[c & 0xF];
            } else {
                out += static_cast<char>(c);
            }
        }
        return out;
    }

    void Write(const std::string& line)
    {
        if (journal_)
            journal_(line);
        else
            ::syslog(LOG_WARNING, "%s", line.c_str());
    }

    std::mutex mutex_;
    LinkJournal journal_;
    std::unordered_set<std::string> journaled_;
    bool full_ = false;
};

// `relative` as its names, or nothing when it is not made of plain names.
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

// What a failed open of `name` in `folder` met. ELOOP from an open with
// O_NOFOLLOW is a link; ENOTDIR may be one too, when a link stands where a
// folder was expected.
SafeStatus Failure(int error, int folder, std::string_view name, const std::string& path)
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

int OpenAt(int folder, std::string_view name, int flags, mode_t mode = 0)
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

// The folder `names` below `start`, one name at a time.
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
        if (next < 0)
            return {Failure(errno, from, name, path), {}};
        current = FileDescriptor(next);
    }
    return {SafeStatus::Ok, std::move(current)};
}

// The folder that holds the last of `names`, which is returned alone.
struct Parent {
    SafeStatus status = SafeStatus::Failed;
    FileDescriptor folder;
    std::string path;  // of the file
    std::string name;
};

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
        return {folder.status, {}, {}, {}};
    return {SafeStatus::Ok, std::move(folder.value), Join(path, name), name};
}

// As OpenAt; with O_CREAT, a file it creates gets exactly `mode` whatever
// the umask. An existing file is opened as it is, in one call as before;
// only a missing one takes the exclusive create, so that the file whose
// bits are set is surely the one made here.
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

void SetLinkJournal(LinkJournal journal)
{
    LinkRefusals::Instance().Set(std::move(journal));
}

Safe<SafeFolder> SafeFolder::Open(const std::filesystem::path& appFolder, std::string_view relative,
                                  MissingFolders missing)
{
    const std::string root = appFolder.empty() ? std::string("/") : appFolder.string();
    FileDescriptor fd(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.Valid())
        return {errno == ENOENT ? SafeStatus::Missing : SafeStatus::Failed, {}};
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
        return {fd.status, {}};
    return {SafeStatus::Ok, SafeFolder(std::move(fd.value), std::move(path))};
}

Safe<FileDescriptor> SafeFolder::OpenFile(std::string_view relative, int flags, mode_t mode, MissingFolders missing,
                                          struct stat* opened) const
{
    // A name of this very folder needs no walk: the recorder opens eighteen
    // files per job this way.
    Parent parent;
    const bool here = !relative.empty() && relative != "." && relative != ".." &&
                      relative.find('/') == std::string_view::npos;
    if (!here) {
        parent = ParentOf(fd_.Get(), path_, relative, missing);
        if (parent.status != SafeStatus::Ok)
            return {parent.status, {}};
    }
    const int folder = here ? fd_.Get() : parent.folder.Get();
    const std::string_view name = here ? relative : std::string_view(parent.name);
    FileDescriptor fd = OpenMaybeCreating(folder, name, flags | O_NONBLOCK, mode);
    if (!fd.Valid())
        return {Failure(errno, folder, name, here ? Join(path_, name) : parent.path), {}};
    struct stat status {};
    if (::fstat(fd.Get(), &status) != 0)
        return {SafeStatus::Failed, {}};
    if (!S_ISREG(status.st_mode))
        return {SafeStatus::WrongType, {}};
    if (opened)
        *opened = status;
    if ((flags & O_NONBLOCK) == 0) {
        const int current = ::fcntl(fd.Get(), F_GETFL);
        if (current < 0 || ::fcntl(fd.Get(), F_SETFL, current & ~O_NONBLOCK) != 0)
            return {SafeStatus::Failed, {}};
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
                type = S_ISLNK(status.st_mode) ? DT_LNK : S_ISDIR(status.st_mode) ? DT_DIR
                                                      : S_ISREG(status.st_mode)   ? DT_REG
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
    const bool here = !relative.empty() && relative != "." && relative != ".." &&
                      relative.find('/') == std::string_view::npos;
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
