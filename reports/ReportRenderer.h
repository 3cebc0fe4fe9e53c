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
// The stylesheet may read files of the document's folder (and below it)
// alone, and never write files nor reach the network. Every failure (a document that is not well-formed, no
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

// A page for a viewer that shows the jobs in tables of its own. A
// stylesheet that declares the parameter "viewer" takes part: it is applied
// to the document's head alone (all before the first event, so that a
// year of jobs is never built into a tree) with viewer='table' and the
// totals given as the parameters jobs, pages, cost and subject, and
// `tables` is true. Any other stylesheet renders the whole document, as
// RenderReport does, and `tables` is false.
struct ViewerPage {
    std::string html;
    bool tables = false;
};
ReportResult<ViewerPage> RenderViewerPage(std::string_view document, const std::filesystem::path& folder,
                                          const StylesheetParameters& totals);

// Renders the document bytes through `stylesheet`, a stylesheet's own
// bytes (one built into a program), whatever the document names. Such a
// rendering has no folder: the stylesheet may read no file at all.
ReportResult<std::string> RenderWithStylesheet(std::string_view document, std::string_view stylesheet,
                                               const StylesheetParameters& parameters = {});

// Renders the document in `documentFile`.
ReportResult<std::string> RenderReportFile(const std::filesystem::path& documentFile);

}  // namespace ostrel
