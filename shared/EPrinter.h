#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ostrel {

// The one exception of printer access, raised by the printer watcher, its
// job list and the console's printer enumeration. Thrown by value and
// caught by reference; the message is one of the fixed texts below.
class EPrinter {
public:
    EPrinter(std::uint32_t code, std::string_view message) : code_(code), message_(message) {}

    std::uint32_t Code() const { return code_; }
    const std::string& Message() const { return message_; }

private:
    std::uint32_t code_;
    std::string message_;
};

namespace eprinter {
inline constexpr std::string_view kCouldntCreatePrinterObjects = "Couldn't create printer objects";
inline constexpr std::string_view kCouldntOpenPrinter = "Couldn't open printer";
inline constexpr std::string_view kCouldntCreateChangeNotification = "Couldn't create a change notification object.";
inline constexpr std::string_view kMustCreateChangeNotification = "Must be created an change notification object.";
inline constexpr std::string_view kFetchFailed = "";
inline constexpr std::string_view kCouldntCreateNewJob = "Couldn't create new job";
inline constexpr std::string_view kCouldntAllocateQueue = "Couldn't allocate memory for the printer queue";
inline constexpr std::string_view kCouldntRefreshQueue = "Couldn't refresh the printer queue";
inline constexpr std::string_view kIndexOutOfRange = "Index must be less than the jobs number";
inline constexpr std::string_view kCouldntAllocatePrintersBuffer =
    "Couldn't allocate the buffer for the printers information";
inline constexpr std::string_view kCouldntReadPrinters = "Couldn't read the information about printers";

inline constexpr std::uint32_t kNoChangeNotificationCode = 0xFFFFFFFF;  // -1
inline constexpr std::uint32_t kNotEnoughMemoryCode = 8;
inline constexpr std::uint32_t kInvalidParameterCode = 87;
inline constexpr std::uint32_t kIndexOutOfRangeCode = 84;
}  // namespace eprinter

}  // namespace ostrel
