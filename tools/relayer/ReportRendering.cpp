#include "ReportRendering.h"

#include <libxml/parser.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/variables.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <climits>
#include <memory>

namespace ostrel {
namespace {

void Quiet(void*, const char*, ...) {}

struct DocumentFree {
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
struct StylesheetFree {
    void operator()(xsltStylesheet* stylesheet) const { xsltFreeStylesheet(stylesheet); }
};
struct TransformFree {
    void operator()(xsltTransformContext* context) const { xsltFreeTransformContext(context); }
};
struct SecurityFree {
    void operator()(xsltSecurityPrefs* prefs) const { xsltFreeSecurityPrefs(prefs); }
};
struct XmlFree {
    void operator()(xmlChar* text) const { xmlFree(text); }
};

using Document = std::unique_ptr<xmlDoc, DocumentFree>;

constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

Document Parse(std::string_view text, const char* name)
{
    if (text.size() > INT_MAX)
        return nullptr;
    return Document(xmlReadMemory(text.data(), static_cast<int>(text.size()), name, nullptr, kParseOptions));
}

}  // namespace

std::optional<std::string> RenderReportHtml(std::string_view document, std::string_view title, std::string_view intro)
{
    // The mailer logs its own reasons; libxml2's messages would only add noise.
    xmlSetGenericErrorFunc(nullptr, Quiet);
    xsltSetGenericErrorFunc(nullptr, Quiet);

    Document stylesheetDocument = Parse(MailStylesheet(), "mail-report.xsl");
    if (!stylesheetDocument)
        return std::nullopt;
    std::unique_ptr<xsltStylesheet, StylesheetFree> stylesheet(xsltParseStylesheetDoc(stylesheetDocument.get()));
    if (!stylesheet)
        return std::nullopt;
    stylesheetDocument.release();  // the stylesheet owns it now

    Document source = Parse(document, "report.xml");
    if (!source)
        return std::nullopt;
    std::unique_ptr<xsltTransformContext, TransformFree> context(
        xsltNewTransformContext(stylesheet.get(), source.get()));
    std::unique_ptr<xsltSecurityPrefs, SecurityFree> security(xsltNewSecurityPrefs());
    if (!context || !security)
        return std::nullopt;
    for (const xsltSecurityOption option : {XSLT_SECPREF_READ_FILE, XSLT_SECPREF_WRITE_FILE,
                                            XSLT_SECPREF_CREATE_DIRECTORY, XSLT_SECPREF_READ_NETWORK,
                                            XSLT_SECPREF_WRITE_NETWORK})
        xsltSetSecurityPrefs(security.get(), option, xsltSecurityForbid);
    if (xsltSetCtxtSecurityPrefs(security.get(), context.get()) != 0)
        return std::nullopt;

    const std::string titleText(title);
    const std::string introText(intro);
    const char* parameters[] = {"title", titleText.c_str(), "intro", introText.c_str(), nullptr};
    if (xsltQuoteUserParams(context.get(), parameters) != 0)
        return std::nullopt;
    Document result(xsltApplyStylesheetUser(stylesheet.get(), source.get(), nullptr, nullptr, nullptr, context.get()));
    if (!result || context->state != XSLT_STATE_OK)
        return std::nullopt;

    xmlChar* bytes = nullptr;
    int length = 0;
    if (xsltSaveResultToString(&bytes, &length, result.get(), stylesheet.get()) != 0 || !bytes)
        return std::nullopt;
    std::unique_ptr<xmlChar, XmlFree> owned(bytes);
    return std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
}

}  // namespace ostrel
