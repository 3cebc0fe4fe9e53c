#pragma once

#include <cstdint>
#include <string_view>

namespace ostrel {

// What the file layer (Files.h, SafeFolder.h) has just done to the disk, told
// to a test that rebuilds what a power cut at any step would leave. The
// product never sets a sink: each step then costs one atomic load.
struct FileEvent {
    enum class Kind {
        Opened,      // `name` in `folder` opened as `fd`, perhaps created (O_CREAT)
        MadeFolder,  // `name` made in `folder`
        Wrote,       // `bytes` went into `fd`, ending at its offset now
        CutTo,       // `fd` cut back to `size` bytes
        Renamed,     // `name` in `folder` renamed to `newName` in `toFolder`
        Removed,     // `name` in `folder` deleted
        Synced,      // fsync or fdatasync of `fd`, a file or a folder, succeeded
    };
    Kind kind = Kind::Opened;
    int folder = -1;
    int toFolder = -1;
    int fd = -1;
    std::string_view name = {};
    std::string_view newName = {};
    std::string_view bytes = {};
    std::uint64_t size = 0;
};

class FileEventSink {
public:
    virtual ~FileEventSink() = default;
    // Called on the thread that took the step, right after it; the
    // descriptors are still open.
    virtual void Happened(const FileEvent& event) = 0;
};

// Tests only: one sink for the whole process, or none (nullptr).
void SetFileEventSink(FileEventSink* sink);

// For the file layer itself.
void TellFileEvent(const FileEvent& event);

}  // namespace ostrel
