#pragma once

#include "ReportResult.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ostrel {

// What the report viewer's browser did on Windows: a report document is
// rendered into HTML through the XSL stylesheet its xml-stylesheet
// instruction names, a file name taken relative to the document's folder.
// The stylesheet may read files but never write them nor reach the
// network. Every failure (a document that is not well-formed, no
// instruction, a missing or broken stylesheet, a transformation error)
// comes back as a message saying what went wrong; nothing is printed.
// Calls from several threads take turns, since libxslt's error channel is
// process-wide.

// Parameters handed to the stylesheet, by name, each a text value; a
// stylesheet that declares none of them ignores them.
using StylesheetParameters = std::vector<std::pair<std::string, std::string>>;

// Renders the document bytes as if they lay in `folder`.
ReportResult<std::string> RenderReport(std::string_view document, const std::filesystem::path& folder,
                                       const StylesheetParameters& parameters = {});

// Renders the document in `documentFile`.
ReportResult<std::string> RenderReportFile(const std::filesystem::path& documentFile);

}  // namespace ostrel
