#pragma once

#include "FileDescriptor.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// Files below the application folder, reached without ever following a
// symbolic link. The folder and its Logs tree are writable by the group
// `ostrel`, while the monitor and the mailer it starts run as root: a link
// planted there would have root write, create, copy or delete files
// anywhere. Every folder on the way is opened from the one before it with
// O_NOFOLLOW | O_DIRECTORY and the last name with O_NOFOLLOW, and whatever
// is checked is checked on the descriptor that is then used, never by a
// second look-up of the path. The application folder itself is trusted as
// given.
//
// Relative paths are '/'-separated names; an empty one, one that starts
// with '/', or one with an empty, "." or ".." component is refused
// (BadName) without touching the disk.

enum class SafeStatus {
    Ok,
    Missing,    // a folder on the way or the file does not exist
    Link,       // a folder on the way or the file is a symbolic link; journaled
    BadName,    // the relative path is not one of plain names
    WrongType,  // a folder expected and not found, or a file that is not a regular file
    Failed,     // anything else: rights, I/O, no space
};

template <class T>
struct Safe {
    SafeStatus status = SafeStatus::Failed;
    T value{};
    explicit operator bool() const { return status == SafeStatus::Ok; }
};

// What the tree below the application folder is made with, whatever the
// umask of the process that makes it: the logs tell who printed what, so
// they are for root and the administrators' group alone. Folders are
// setgid, so that what either side makes in them stays in the group.
inline constexpr mode_t kPrivateFolderMode = 02770;
inline constexpr mode_t kPrivateFileMode = 0660;

// Whether missing folders on the way are made (mkdirat, then exactly
// kPrivateFolderMode; a setgid parent passes on its group).
enum class MissingFolders { Fail, Create };

// How Replace sets the new file's permission bits.
enum class ReplaceMode {
    KeepExisting,  // an existing regular file keeps its bits; a new one gets the given mode
    Exactly,       // always the given mode
};

// How far Replace makes sure of its result.
enum class Durability {
    Synced,    // on the disk before it returns: survives a power cut
    KillSafe,  // one rename: a killed process leaves the old or the new file
};

struct FolderEntry {
    enum class Type { File, Folder, Link, Other };
    std::string name;
    Type type = Type::Other;
};

// An open folder, reached safely. Move-only; the descriptor closes with the
// object. Usable from any thread; it holds no state besides the descriptor.
class SafeFolder {
public:
    SafeFolder() = default;

    // The application folder as given (links in its own path are followed:
    // it is trusted), then `relative` below it. An empty `appFolder` is the
    // root folder, as InApplicationFolder has it.
    static Safe<SafeFolder> Open(const std::filesystem::path& appFolder, std::string_view relative = {},
                                 MissingFolders missing = MissingFolders::Fail);

    // A folder below this one; an empty `relative` is this folder again.
    Safe<SafeFolder> Folder(std::string_view relative, MissingFolders missing = MissingFolders::Fail) const;

    // The regular file `relative` opened with `flags` (O_NOFOLLOW, O_CLOEXEC
    // and, for the open alone, O_NONBLOCK are added, so that a planted FIFO
    // never blocks the caller) and `mode` for O_CREAT: a file this call
    // creates gets exactly `mode`, whatever the umask. The folders on the
    // way are made first when `missing` says so. A caller that passes
    // O_NONBLOCK itself keeps it (harmless on a regular file) and saves two
    // calls. This is what the event log
    // writer needs for its period files:
    //   OpenFile("Users/x/d_20240310.xml", O_RDWR | O_APPEND | O_CREAT, kPrivateFileMode, MissingFolders::Create)
    // then FileSize / ReadAt / TruncateTo / AppendOnce of Files.h on the descriptor.
    // `opened`, when given, receives the file's status as the open found it.
    Safe<FileDescriptor> OpenFile(std::string_view relative, int flags, mode_t mode = 0,
                                  MissingFolders missing = MissingFolders::Fail, struct stat* opened = nullptr) const;

    // The whole of a regular file; WrongType beyond `largest` bytes.
    Safe<std::string> ReadFile(std::string_view relative,
                               std::uint64_t largest = std::numeric_limits<std::uint64_t>::max()) const;

    // As AppendToFile: `bytes` in one write on an O_APPEND descriptor, with
    // `headOfNewFile` first in the same write when the file is empty.
    SafeStatus Append(std::string_view relative, std::string_view bytes, std::string_view headOfNewFile = {},
                      mode_t newFileMode = kPrivateFileMode, MissingFolders missing = MissingFolders::Fail) const;

    // The one atomic replace of the tree (ReplaceFile uses it): the bytes
    // are written to a temporary file in the same folder, which is fsynced,
    // renamed over `relative` with renameat, and then the folder is fsynced.
    // An entry already there, a link among them, is replaced, never written
    // through. Nothing changes when a step before the rename fails; when
    // the folder cannot be synced after it, the new file is in place but
    // Failed says that it may not survive a power cut.
    SafeStatus Replace(std::string_view relative, std::string_view bytes, mode_t mode,
                       ReplaceMode how = ReplaceMode::KeepExisting, Durability durability = Durability::Synced) const;

    // The entries of a folder below this one (empty: this one), without
    // "." and "..", typed from the listing itself, a link as a link.
    Safe<std::vector<FolderEntry>> List(std::string_view relative = {}) const;

    // Deletes a file (unlinkat), read-only or not; a link is deleted itself,
    // its target untouched. Never deletes a folder.
    SafeStatus Remove(std::string_view relative) const;

    // lstat of `relative`: a link there is Link, not what it points to.
    Safe<struct stat> Stat(std::string_view relative) const;

    bool Valid() const { return fd_.Valid(); }
    int Descriptor() const { return fd_.Get(); }
    // The folder's path, for messages only.
    const std::string& Path() const { return path_; }

private:
    SafeFolder(FileDescriptor fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

    FileDescriptor fd_;
    std::string path_;
};

// Where refusals of links are journaled: one line per refused path, the
// first time it is refused in this process, never on every record. The
// default writes to syslog (the journal under systemd) at LOG_WARNING,
// under the identity the program chose with openlog. Setting one replaces
// it and forgets which paths were journaled.
using LinkJournal = std::function<void(const std::string& line)>;
void SetLinkJournal(LinkJournal journal);

}  // namespace ostrel
