#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// The stylesheet that renders mail bodies, built into the program.
std::string_view MailStylesheet();

// `document` (a print log: a report document or the test message's file)
// rendered to HTML through MailStylesheet, headed by `title` and `intro`.
// Nothing when the document is not well-formed XML. The document is never
// allowed to reach the network or other files: no DTD or entity is loaded,
// and the transformation may neither read nor write.
std::optional<std::string> RenderReportHtml(std::string_view document, std::string_view title, std::string_view intro);

}  // namespace ostrel
