#include "ReportRenderer.h"

#include "Files.h"
#include "XmlSupport.h"

#include <libxml/xmlerror.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/variables.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

struct StylesheetFree {
    void operator()(xsltStylesheet* style) const { xsltFreeStylesheet(style); }
};
struct ContextFree {
    void operator()(xsltTransformContext* context) const { xsltFreeTransformContext(context); }
};

// libxml2's and libxslt's error channels are global: they are pointed at
// one collector for the length of a rendering, and rendering takes turns.
std::mutex renderLock;

class ErrorCapture {
public:
    ErrorCapture()
        : xmlGeneric_(xmlGenericError),
          xmlGenericContext_(xmlGenericErrorContext),
          xmlStructured_(xmlStructuredError),
          xmlStructuredContext_(xmlStructuredErrorContext),
          xsltGeneric_(xsltGenericError),
          xsltGenericContext_(xsltGenericErrorContext)
    {
        xmlSetGenericErrorFunc(this, &Collect);
        xmlSetStructuredErrorFunc(this, &CollectStructured);
        xsltSetGenericErrorFunc(this, &Collect);
    }
    ~ErrorCapture()
    {
        xmlSetGenericErrorFunc(xmlGenericContext_, xmlGeneric_);
        xmlSetStructuredErrorFunc(xmlStructuredContext_, xmlStructured_);
        xsltSetGenericErrorFunc(xsltGenericContext_, xsltGeneric_);
    }
    ErrorCapture(const ErrorCapture&) = delete;
    ErrorCapture& operator=(const ErrorCapture&) = delete;

    // What was reported, on one line; `fallback` when nothing was.
    std::string Text(const char* fallback) const
    {
        std::string text;
        for (char c : text_) {
            if (c == '\n') {
                if (!text.empty() && text.back() != ' ')
                    text += ' ';
            } else {
                text += c;
            }
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        return text.empty() ? fallback : text;
    }

    static void Collect(void* self, const char* format, ...)
    {
        char piece[1024];
        va_list args;
        va_start(args, format);
        std::vsnprintf(piece, sizeof piece, format, args);
        va_end(args);
        static_cast<ErrorCapture*>(self)->Add(piece);
    }

    static void CollectStructured(void* self, xmlErrorPtr error)
    {
        if (error && error->message) {
            std::string line = error->message;
            if (error->line > 0)
                line = "line " + std::to_string(error->line) + ": " + line;
            static_cast<ErrorCapture*>(self)->Add(line);
        }
    }

private:
    void Add(const std::string& piece)
    {
        // A broken stylesheet can report without end; the first lines say
        // what is wrong.
        if (text_.size() < 2000)
            text_ += piece;
    }

    xmlGenericErrorFunc xmlGeneric_;
    void* xmlGenericContext_;
    xmlStructuredErrorFunc xmlStructured_;
    void* xmlStructuredContext_;
    xmlGenericErrorFunc xsltGeneric_;
    void* xsltGenericContext_;
    std::string text_;
};

// The folder a rendering may read from; empty while none may be read.
// Set for the length of one rendering, under renderLock.
std::filesystem::path readableFolder;

// Whether `path` lies in readableFolder or below it, links resolved, so
// that no name and no link leads a stylesheet out of the folder.
int ReadAllowed(xsltSecurityPrefs*, xsltTransformContext*, const char* path)
{
    return !readableFolder.empty() && path && LiesWithin(path, readableFolder) ? 1 : 0;
}

// The one policy of every rendering: stylesheets may read files of the
// document's own folder (document(), imports), but never write, create
// folders or use the network.
xsltSecurityPrefs* SecurityPrefs()
{
    static xsltSecurityPrefs* prefs = [] {
        xsltSecurityPrefs* p = xsltNewSecurityPrefs();
        xsltSetSecurityPrefs(p, XSLT_SECPREF_READ_FILE, &ReadAllowed);
        xsltSetSecurityPrefs(p, XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid);
        xsltSetSecurityPrefs(p, XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid);
        xsltSetSecurityPrefs(p, XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid);
        xsltSetSecurityPrefs(p, XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid);
        // Imports and includes of the stylesheet are checked with these too.
        xsltSetDefaultSecurityPrefs(p);
        return p;
    }();
    return prefs;
}

// Points readableFolder at a folder for the length of a rendering.
class ReadableFolder {
public:
    explicit ReadableFolder(const fs::path& folder) { readableFolder = folder; }
    ~ReadableFolder() { readableFolder.clear(); }
    ReadableFolder(const ReadableFolder&) = delete;
    ReadableFolder& operator=(const ReadableFolder&) = delete;
};

// Output callback of libxml2: appends to the std::string `context`.
int AppendOutput(void* context, const char* bytes, int length)
{
    static_cast<std::string*>(context)->append(bytes, static_cast<size_t>(length));
    return length;
}

// The value of pseudo-attribute `name` in the text of a processing
// instruction (name='value' or name="value").
std::optional<std::string> PseudoAttribute(std::string_view text, std::string_view name)
{
    size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n'))
            ++at;
        const size_t nameStart = at;
        while (at < text.size() && text[at] != '=' && text[at] != ' ')
            ++at;
        const std::string_view found = text.substr(nameStart, at - nameStart);
        while (at < text.size() && text[at] == ' ')
            ++at;
        if (at >= text.size() || text[at] != '=')
            return std::nullopt;
        ++at;
        while (at < text.size() && text[at] == ' ')
            ++at;
        if (at >= text.size() || (text[at] != '\'' && text[at] != '"'))
            return std::nullopt;
        const char quote = text[at++];
        const size_t valueEnd = text.find(quote, at);
        if (valueEnd == std::string_view::npos)
            return std::nullopt;
        if (found == name)
            return std::string(text.substr(at, valueEnd - at));
        at = valueEnd + 1;
    }
    return std::nullopt;
}

// The href of the document's first xml-stylesheet instruction before its
// root element.
std::optional<std::string> StylesheetHref(const xmlDoc& document)
{
    for (const xmlNode* node = document.children; node; node = node->next) {
        if (node->type == XML_ELEMENT_NODE)
            break;
        if (node->type == XML_PI_NODE && xml::NameIs(node, "xml-stylesheet") && node->content)
            if (auto href = PseudoAttribute(reinterpret_cast<const char*>(node->content), "href"))
                return href;
    }
    return std::nullopt;
}

// A stylesheet beside the document or below its folder: a relative file
// path without ".." and without a scheme.
bool LocalRelativePath(const std::string& href)
{
    if (href.empty() || href.front() == '/' || href.find(':') != std::string::npos ||
        href.find('\\') != std::string::npos || href.find('\0') != std::string::npos)
        return false;
    for (const auto& part : fs::path(href))
        if (part == "..")
            return false;
    return true;
}

// Whether the parsed stylesheet declares the parameter "viewer" at its top
// level, a child of xsl:stylesheet or xsl:transform under any prefix. A
// template's own parameter, or one in a comment, does not count.
bool DeclaresViewerParameter(const xmlDoc& stylesheet)
{
    const xmlNode* root = xmlDocGetRootElement(&stylesheet);
    const auto inXslt = [](const xmlNode* node) {
        return node->type == XML_ELEMENT_NODE && node->ns && xmlStrEqual(node->ns->href, XSLT_NAMESPACE);
    };
    if (!root || !inXslt(root) || !(xml::NameIs(root, "stylesheet") || xml::NameIs(root, "transform")))
        return false;
    for (const xmlNode* node = root->children; node; node = node->next) {
        if (!inXslt(node) || !xml::NameIs(node, "param"))
            continue;
        xmlChar* name = xmlGetNoNsProp(node, reinterpret_cast<const xmlChar*>("name"));
        const bool viewer = name && xmlStrEqual(name, reinterpret_cast<const xmlChar*>("viewer"));
        xmlFree(name);
        if (viewer)
            return true;
    }
    return false;
}

// Applies `style` to `document` under the one policy and serialises the
// result; `source` names the stylesheet in messages. Called under renderLock
// with `capture` collecting libxml2's and libxslt's messages.
ReportResult<std::string> Transform(xsltStylesheet* style, xmlDoc* document, const StylesheetParameters& parameters,
                                    size_t sizeHint, const std::string& source, ErrorCapture& capture)
{
    using Result = ReportResult<std::string>;
    std::unique_ptr<xsltTransformContext, ContextFree> context(xsltNewTransformContext(style, document));
    if (!context)
        return Result::Failure("The report cannot be rendered: out of memory.");
    xsltSetCtxtSecurityPrefs(SecurityPrefs(), context.get());
    xsltSetTransformErrorFunc(context.get(), &capture, &ErrorCapture::Collect);
    // Values as text, whatever quotes they hold.
    std::vector<const char*> list;
    for (const auto& [name, value] : parameters) {
        list.push_back(name.c_str());
        list.push_back(value.c_str());
    }
    list.push_back(nullptr);
    if (xsltQuoteUserParams(context.get(), list.data()) != 0)
        return Result::Failure("The report cannot be rendered: its parameters were refused.");
    xml::Document html(xsltApplyStylesheetUser(style, document, nullptr, nullptr, nullptr, context.get()));
    if (!html || context->state != XSLT_STATE_OK)
        return Result::Failure("The report cannot be rendered through " + source + ": " +
                               capture.Text("the transformation failed") + ".");

    // The HTML goes straight into the result, reserved for about three times
    // the document, rather than into a buffer of libxml2's that would then
    // be copied.
    std::string result;
    result.reserve(sizeHint * 3);
    xmlOutputBuffer* output = xmlOutputBufferCreateIO(&AppendOutput, nullptr, &result, nullptr);
    if (!output || xsltSaveResultTo(output, html.get(), style) < 0) {
        if (output)
            xmlOutputBufferClose(output);
        return Result::Failure("The report cannot be rendered: its HTML could not be written out.");
    }
    if (xmlOutputBufferClose(output) < 0)
        return Result::Failure("The report cannot be rendered: its HTML could not be written out.");
    return result;
}

}  // namespace

ReportResult<std::string> RenderReport(std::string_view bytes, const fs::path& folder,
                                       const StylesheetParameters& parameters)
{
    using Result = ReportResult<std::string>;
    const fs::path base = folder.empty() ? fs::path(".") : folder;
    ReportResult<xml::Document> document = xml::ParseDocument(bytes, xml::FileUri((base / "").string()));
    if (!document)
        return Result::Failure(document.Error());

    const std::optional<std::string> href = StylesheetHref(**document);
    if (!href)
        return Result::Failure("The report document names no stylesheet (no xml-stylesheet instruction with an href).");
    if (!LocalRelativePath(*href))
        return Result::Failure("The report document names the stylesheet '" + *href +
                               "', which is not a file in the document's folder.");
    const fs::path stylesheetFile = base / *href;
    if (!IsRegularFile(stylesheetFile))
        return Result::Failure("The stylesheet '" + *href + "' of the report is missing from " + base.string() + ".");

    std::lock_guard lock(renderLock);
    SecurityPrefs();  // in place before parsing: the stylesheet's imports are checked too
    const ReadableFolder readable(base);
    ErrorCapture capture;
    std::unique_ptr<xsltStylesheet, StylesheetFree> style(
        xsltParseStylesheetFile(reinterpret_cast<const xmlChar*>(xml::FileUri(stylesheetFile.string()).c_str())));
    if (!style)
        return Result::Failure("The stylesheet " + stylesheetFile.string() +
                               " cannot be used: " + capture.Text("it is not a valid XSLT stylesheet") + ".");
    return Transform(style.get(), document->get(), parameters, bytes.size(), stylesheetFile.string(), capture);
}

ReportResult<std::string> RenderWithStylesheet(std::string_view bytes, std::string_view stylesheet,
                                               const StylesheetParameters& parameters)
{
    using Result = ReportResult<std::string>;
    ReportResult<xml::Document> document = xml::ParseDocument(bytes, "report.xml");
    if (!document)
        return Result::Failure(document.Error());
    ReportResult<xml::Document> styleDocument = xml::ParseDocument(stylesheet, "stylesheet.xsl");
    if (!styleDocument)
        return Result::Failure("The built-in stylesheet cannot be read: " + styleDocument.Error());

    std::lock_guard lock(renderLock);
    SecurityPrefs();  // in place before parsing: the stylesheet's imports are checked too
    const ReadableFolder readable({});
    ErrorCapture capture;
    std::unique_ptr<xsltStylesheet, StylesheetFree> style(xsltParseStylesheetDoc(styleDocument->get()));
    if (!style)
        return Result::Failure(
            "The built-in stylesheet cannot be used: " + capture.Text("it is not a valid XSLT stylesheet") + ".");
    styleDocument->release();  // the stylesheet owns it now
    return Transform(style.get(), document->get(), parameters, bytes.size(), "the built-in stylesheet", capture);
}

ReportResult<ViewerPage> RenderViewerPage(std::string_view bytes, const fs::path& folder,
                                          const StylesheetParameters& totals)
{
    const size_t firstEvent = bytes.find("<event");
    std::string head(bytes.substr(0, firstEvent));
    if (firstEvent != std::string_view::npos)
        head += "</log>";
    const fs::path base = folder.empty() ? fs::path(".") : folder;
    ReportResult<xml::Document> document = xml::ParseDocument(head, xml::FileUri((base / "").string()));
    const std::optional<std::string> href = document ? StylesheetHref(**document) : std::nullopt;
    bool takesPart = false;
    if (href && LocalRelativePath(*href)) {
        const fs::path stylesheetFile = base / *href;
        if (const std::optional<std::string> stylesheet = ReadFileBytes(stylesheetFile)) {
            const ReportResult<xml::Document> parsed =
                xml::ParseDocument(*stylesheet, xml::FileUri(stylesheetFile.string()));
            takesPart = parsed && DeclaresViewerParameter(**parsed);
        }
    }
    if (!takesPart) {
        ReportResult<std::string> whole = RenderReport(bytes, folder);
        if (!whole)
            return ReportResult<ViewerPage>::Failure(whole.Error());
        return ViewerPage{std::move(*whole), false};
    }
    StylesheetParameters parameters = totals;
    parameters.emplace_back("viewer", "table");
    ReportResult<std::string> page = RenderReport(head, folder, parameters);
    if (!page)
        return ReportResult<ViewerPage>::Failure(page.Error());
    return ViewerPage{std::move(*page), true};
}

ReportResult<std::string> RenderReportFile(const fs::path& documentFile)
{
    const std::optional<std::string> bytes = ReadFileBytes(documentFile);
    if (!bytes)
        return ReportResult<std::string>::Failure("The report document " + documentFile.string() + " cannot be read.");
    return RenderReport(*bytes, documentFile.parent_path());
}

}  // namespace ostrel
