// The registry store's value files, which every program reads and an
// administrator may edit by hand, and the value objects on top of them.
// The input is a value path as a program names it ("Software\Ostrel\AppRuns"),
// one line, then the bytes of a value file.

#include "FuzzFolder.h"
#include "FuzzSupport.h"
#include "Files.h"
#include "RegValue.h"
#include "RegistryHive.h"

#include <filesystem>
#include <string>
#include <vector>

using namespace ostrel;
namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input = fuzz::Text(data, size);
    const std::string fullPath(fuzz::TakeLine(input));
    const std::string_view file = input;

    // The hive lies two folders down, so that a write that climbs out of it
    // shows beside it.
    const fs::path& root = fuzz::FuzzFolder::Emptied();
    const fs::path hiveFolder = root / "store" / "HKEY_LOCAL_MACHINE";
    fs::create_directories(hiveFolder / "Software" / "Ostrel");
    FUZZ_CHECK(ReplaceFile(hiveFolder / "Software" / "Ostrel" / "Value", file));
    DirectoryRegistry hive(hiveFolder);

    // A value that reads stores back as the same value, and lists as it reads.
    const std::optional<RegData> read = hive.Query("Software\\Ostrel", "Value");
    if (read) {
        FUZZ_CHECK(hive.Set("Software\\Ostrel", "Copy", *read));
        FUZZ_CHECK(hive.Query("Software\\Ostrel", "Copy") == read);
    }
    const auto entries = hive.Enumerate("Software\\Ostrel");
    FUZZ_CHECK(entries.has_value());
    FUZZ_CHECK(entries->size() == (read ? 2u : 0u));
    for (const RegEntry& entry : *entries)
        FUZZ_CHECK(entry.data == *read);

    // The value objects read any stored bytes the documented way.
    RegValueDword dword("Software\\Ostrel\\Value", 7, false, hive);
    FUZZ_CHECK(dword.Valid() == (read && read->bytes.size() <= 4));
    if (!dword.Valid())
        FUZZ_CHECK(dword.Get() == 7);
    RegValueString text("Software\\Ostrel\\Value", "default", false, hive);
    FUZZ_CHECK(text.Valid() == read.has_value());
    if (read)
        FUZZ_CHECK(text.Get() == read->bytes.substr(0, read->bytes.find('\0')));

    // Any path a program may be given stays inside the hive, and a text
    // stored there reads back up to its first zero byte.
    const std::string stored(file.substr(0, 64));
    RegValueString named(fullPath, "", true, hive);
    named.Set(stored);
    if (named.Valid())
        FUZZ_CHECK(RegValueString(fullPath, "", false, hive).Get() == stored.substr(0, stored.find('\0')));
    RegValueDword(fullPath, 0, true, hive).Set(0x01020304);
    FUZZ_CHECK(fuzz::NamesIn(root) == std::vector<std::string>{"store"});
    FUZZ_CHECK(fuzz::NamesIn(root / "store") == std::vector<std::string>{"HKEY_LOCAL_MACHINE"});
    return 0;
}
