// Names from print jobs made safe: as folder names under Logs, and as text
// in the XML records. libxml2 is the judge of the XML.

#include "FuzzSupport.h"
#include "SafeText.h"
#include "SettingsDocument.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>
#include <string>

using namespace ostrel;

namespace {

constexpr std::size_t kMaxFolderName = 200;

struct DocumentFree {
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};

bool ValidUtf8(std::string_view text)
{
    return SanitizeXmlText(text) == text;
}

void CheckFolderName(std::string_view name, const std::string& folder)
{
    FUZZ_CHECK(folder.find('/') == std::string::npos);
    FUZZ_CHECK(folder.find('\0') == std::string::npos);
    FUZZ_CHECK(folder != "." && folder != "..");
    FUZZ_CHECK(folder.empty() == name.empty());
    FUZZ_CHECK(folder.size() <= kMaxFolderName);
    // A valid UTF-8 name is never cut inside a character.
    if (ValidUtf8(name))
        FUZZ_CHECK(ValidUtf8(folder));
    // A name that is already a fine folder name is kept as it is.
    if (name.size() <= kMaxFolderName && name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos &&
        name != "." && name != "..")
        FUZZ_CHECK(folder == name);
}

// What an XML parser reads back for text it was given: line ends become
// line feeds.
std::string AsParsed(std::string_view text)
{
    std::string parsed;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            parsed += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            parsed += text[i];
        }
    }
    return parsed;
}

void CheckRecordText(std::string_view name)
{
    const std::string stripped = StripXmlSpecials(name);
    FUZZ_CHECK(stripped.find_first_of("<>&'\"") == std::string::npos);
    const std::string clean = SanitizeXmlText(stripped);
    FUZZ_CHECK(SanitizeXmlText(clean) == clean);

    // The text makes a well-formed element, and reads back unchanged.
    const std::string element = "<doc>" + clean + "</doc>";
    std::unique_ptr<xmlDoc, DocumentFree> document(
        xmlReadMemory(element.data(), static_cast<int>(element.size()), "record.xml", "UTF-8",
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    FUZZ_CHECK(document != nullptr);
    xmlChar* content = xmlNodeGetContent(xmlDocGetRootElement(document.get()));
    FUZZ_CHECK(content != nullptr);
    const bool same = AsParsed(clean) == reinterpret_cast<const char*>(content);
    xmlFree(content);
    FUZZ_CHECK(same);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    xmlInitParser();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view name = fuzz::Text(data, size);
    CheckFolderName(name, UserFolderName(name));
    const std::string printer = PrinterFolderName(name);
    FUZZ_CHECK(printer.starts_with("Printer_") && printer.find('/') == std::string::npos);
    CheckRecordText(name);
    // The monitor makes the folder of the name as recorded.
    const std::string recorded = SanitizeXmlText(StripXmlSpecials(name));
    CheckFolderName(recorded, UserFolderName(recorded));
    return 0;
}
