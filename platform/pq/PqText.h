#pragma once

#include "SqlDatabase.h"

#include <string>
#include <string_view>
#include <vector>

namespace ostrel::pq {

// `message` with every occurrence of each non-empty secret replaced, and
// without the trailing newline libpq adds.
std::string Redacted(std::string message, const std::vector<std::string>& secrets);

// Appends one row in COPY's text format: tab-separated, NULL as \N, the
// backslash, tab, newline and carriage return escaped.
void AppendCopyRow(std::string& out, const SqlRow& row);

}  // namespace ostrel::pq
