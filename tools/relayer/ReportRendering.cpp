#include "ReportRendering.h"

#include "ReportRenderer.h"

namespace ostrel {

std::optional<std::string> RenderReportHtml(std::string_view document, std::string_view title, std::string_view intro)
{
    // The mailer logs its own reasons; the renderer's message would only add
    // noise.
    ReportResult<std::string> html = RenderWithStylesheet(
        document, MailStylesheet(), {{"title", std::string(title)}, {"intro", std::string(intro)}});
    if (!html)
        return std::nullopt;
    return std::move(*html);
}

}  // namespace ostrel
