#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// One line of standard input without its line end, for a secret such as a
// password: on a terminal, `prompt` goes to standard error and the typed
// characters are not echoed; from a pipe the line is read as it comes.
// Nothing at the end of the input.
std::optional<std::string> ReadSecretLine(std::string_view prompt);

}  // namespace ostrel
