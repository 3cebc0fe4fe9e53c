#pragma once

#include "RegistryHive.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace ostrel::reg {

// Runs one ostrel-reg command line (`args` without the program name) against
// `hive`. Questions are read from `in`; results go to `out`, errors to `err`.
// Returns the process exit code: 0 on success, 1 on an error or when the
// user declines.
int RunRegCommand(const std::vector<std::string>& args, RegistryHive& hive, std::istream& in, std::ostream& out,
                  std::ostream& err);

}  // namespace ostrel::reg
