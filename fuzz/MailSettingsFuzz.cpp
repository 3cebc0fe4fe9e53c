// The mail settings loaded from whatever the registry store holds: the
// console shows them, stores them back, and the mailer acts on them. The
// input is the eight value files, EEmailAddress to ESMTPPORT in the order
// of MailSettings, separated by the byte 0x1E; an empty one is absent.

#include "FuzzFolder.h"
#include "FuzzSupport.h"
#include "Files.h"
#include "MailSettings.h"
#include "RegistryHive.h"

#include <array>
#include <filesystem>
#include <string>

using namespace ostrel;
namespace fs = std::filesystem;

namespace {

constexpr std::array<const char*, 8> kValues = {
    "EEmailAddress",        "ESMTPName", "ESMTPEmailAddress", "ESMTPEmailAddress4Server",
    "ESMTPPass4MailServer", "ESMTPAUTH", "ESMTPSRV",          "ESMTPPORT"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input = fuzz::Text(data, size);
    const fs::path& root = fuzz::FuzzFolder::Emptied();
    const fs::path key = root / "loaded" / "Software" / "Ostrel";
    fs::create_directories(key);
    std::array<bool, kValues.size()> present{};
    for (std::size_t i = 0; i < kValues.size() && !input.empty(); ++i) {
        const std::size_t end = input.find('\x1e');
        const std::string_view file = input.substr(0, end);
        input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
        if (!file.empty()) {
            FUZZ_CHECK(ReplaceFile(key / kValues[i], file));
            present[i] = true;
        }
    }
    DirectoryRegistry loadedHive(root / "loaded");
    const MailSettings loaded = LoadMailSettings(loadedHive);

    const std::array<bool, kValues.size()> empty = {
        loaded.recipient.empty(), loaded.senderName.empty(), loaded.senderAddress.empty(), loaded.userName.empty(),
        loaded.password.empty(),  loaded.authMethod.empty(), loaded.server.empty(),        loaded.port == 0};

    // Storing what was loaded changes nothing that loads, and leaves an
    // absent value absent.
    StoreMailSettings(loaded, loadedHive);
    FUZZ_CHECK(LoadMailSettings(loadedHive) == loaded);
    for (std::size_t i = 0; i < kValues.size(); ++i)
        if (!present[i])
            FUZZ_CHECK(loadedHive.Query("Software\\Ostrel", kValues[i]).has_value() == !empty[i]);

    // Into an empty store, every text comes back whole, and only what is
    // not empty is written.
    DirectoryRegistry freshHive(root / "fresh");
    StoreMailSettings(loaded, freshHive);
    FUZZ_CHECK(LoadMailSettings(freshHive) == loaded);
    for (std::size_t i = 0; i < kValues.size(); ++i)
        FUZZ_CHECK(freshHive.Query("Software\\Ostrel", kValues[i]).has_value() == !empty[i]);

    // The mailer's reading of the method: NTLM is never taken for another.
    if (NamesNtlm(loaded.authMethod))
        FUZZ_CHECK(!ParseAuthMethod(loaded.authMethod).has_value());
    return 0;
}
