#pragma once

#include "ReportResult.h"

#include <libxml/tree.h>

#include <memory>
#include <string>
#include <string_view>

// libxml2 and libxslt as the report code uses them; not part of the
// library's interface.
namespace ostrel::xml {

struct DocumentFree {
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
using Document = std::unique_ptr<xmlDoc, DocumentFree>;

// Initialises libxml2, libxslt and the EXSLT functions once per process.
void InitLibraries();

// A libxml2 message on one line, without its closing line feed.
std::string OneLine(const char* text);

// Parses report document bytes. `url` is the address relative names in the
// document are resolved against. No network access, no external DTD, no
// entity of the document's own; errors come back as one message naming
// the line, and are never printed.
ReportResult<Document> ParseDocument(std::string_view bytes, const std::string& url);

// Whether a node's name is `name`.
inline bool NameIs(const xmlNode* node, const char* name)
{
    return xmlStrEqual(node->name, reinterpret_cast<const xmlChar*>(name));
}

// The URI libxml2 and libxslt take for a file path: blanks and other
// characters a URI cannot hold escaped.
std::string FileUri(const std::string& path);

// The text content of a node, or the empty text.
std::string NodeText(const xmlNode* node);

}  // namespace ostrel::xml
