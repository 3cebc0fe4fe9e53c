#pragma once

#include "FileDescriptor.h"
#include "SafeFolder.h"

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The walk below a folder that SafeFolder's file operations share: names
// checked, folders opened one at a time from their parent's descriptor,
// never through a link.
namespace ostrel::folder_walk {

using Names = std::vector<std::string_view>;

// `relative` as its names, or nothing when it is not made of plain names.
std::optional<Names> Split(std::string_view relative, bool emptyAllowed);

std::string Join(const std::string& folder, std::string_view name);

// What a failed open of `name` in `folder` met. ELOOP from an open with
// O_NOFOLLOW is a link; ENOTDIR may be one too, when a link stands where a
// folder was expected.
SafeStatus FailedOpenStatus(int error, int folder, std::string_view name, const std::string& path);

int OpenAt(int folder, std::string_view name, int flags, mode_t mode = 0);

// The folder `names` below `start`, one name at a time.
Safe<FileDescriptor> Walk(int start, std::string& path, const Names& names, MissingFolders missing);

// The folder that holds the last of `names`, which is returned alone.
struct Parent {
    SafeStatus status = SafeStatus::Failed;
    FileDescriptor folder;
    std::string path;  // of the file
    std::string name;
    int error = 0;
};

Parent ParentOf(int start, const std::string& startPath, std::string_view relative, MissingFolders missing);

// As OpenAt; with O_CREAT, a file it creates gets exactly `mode` whatever
// the umask. An existing file is opened as it is, in one call as before;
// only a missing one takes the exclusive create, so that the file whose
// bits are set is surely the one made here.
FileDescriptor OpenMaybeCreating(int folder, std::string_view name, int flags, mode_t mode);

}  // namespace ostrel::folder_walk
