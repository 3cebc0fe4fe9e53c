#pragma once

#include <string>
#include <string_view>

namespace ostrel {

// Text from a print job made fit for an XML file: invalid UTF-8 and the
// control characters XML forbids become U+FFFD; tab, line feed and carriage
// return stay. Apply after StripXmlSpecials.
std::string SanitizeXmlText(std::string_view text);

// The longest length of at most `limit` bytes at which `text` can be cut
// without splitting a UTF-8 character: `limit` itself, or less where a
// character would be split there; the whole size when it is shorter.
size_t Utf8CutPoint(std::string_view text, size_t limit);

// The folder name under Logs/Users for a user name as recorded. It never
// leaves that folder: '/' and zero bytes become '_', "." and ".." get a
// leading '_', and a name too long for a folder is cut and given a hash of
// the whole name, so that different users keep different folders. An
// empty name stays empty. The monitor and the console both use it.
std::string UserFolderName(std::string_view user);

// The folder name under Logs/Printers for a printer's ID text.
std::string PrinterFolderName(std::string_view id);

}  // namespace ostrel
