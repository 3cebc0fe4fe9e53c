#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// The logs say who printed what, so they are for the members of the
// administrators' group alone. For an account outside it, the plain answer
// that the console and ostrel-report give in place of empty lists and
// missing reports: who may read them, and how an administrator adds
// someone. Nothing when this account may read them, or when what keeps it
// out is not the group (a folder that does not exist yet).
std::optional<std::string> ReportsDenied(std::string_view appFolder);

// The answer itself, for `user` outside `group`.
std::string ReportsDeniedText(std::string_view user, std::string_view group);

}  // namespace ostrel
