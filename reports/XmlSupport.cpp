#include "XmlSupport.h"

#include <libexslt/exslt.h>
#include <libxml/parser.h>
#include <libxml/uri.h>
#include <libxml/xmlIO.h>
#include <libxslt/xslt.h>

#include <climits>
#include <memory>
#include <mutex>

namespace ostrel::xml {

std::string OneLine(const char* text)
{
    std::string message = text ? text : "";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    for (char& c : message)
        if (c == '\n')
            c = ' ';
    return message;
}

namespace {

struct ParserFree {
    void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};

}  // namespace

void InitLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        // Nothing the reports read may pull anything from the network.
        xmlSetExternalEntityLoader(xmlNoNetExternalEntityLoader);
        xsltInit();
        exsltRegisterAll();
    });
}

ReportResult<Document> ParseDocument(std::string_view bytes, const std::string& url)
{
    InitLibraries();
    if (bytes.size() > static_cast<size_t>(INT_MAX))
        return ReportResult<Document>::Failure("The report document is too large to be read.");
    std::unique_ptr<xmlParserCtxt, ParserFree> context(xmlNewParserCtxt());
    if (!context)
        return ReportResult<Document>::Failure("The report document cannot be read: out of memory.");
    Document document(xmlCtxtReadMemory(context.get(), bytes.data(), static_cast<int>(bytes.size()), url.c_str(),
                                        nullptr,
                                        XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT));
    if (!document || !context->wellFormed) {
        const xmlError* error = xmlCtxtGetLastError(context.get());
        std::string message = "The report document cannot be read: it is not well-formed XML";
        if (error && error->message)
            message += " (line " + std::to_string(error->line) + ": " + OneLine(error->message) + ")";
        return ReportResult<Document>::Failure(message + ".");
    }
    return document;
}

std::string FileUri(const std::string& path)
{
    xmlChar* uri = xmlPathToURI(reinterpret_cast<const xmlChar*>(path.c_str()));
    if (!uri)
        return path;
    std::string text(reinterpret_cast<const char*>(uri));
    xmlFree(uri);
    return text;
}

std::string NodeText(const xmlNode* node)
{
    xmlChar* content = xmlNodeGetContent(node);
    if (!content)
        return {};
    std::string text(reinterpret_cast<const char*>(content));
    xmlFree(content);
    return text;
}

}  // namespace ostrel::xml
