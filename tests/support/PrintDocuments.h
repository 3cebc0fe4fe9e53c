#pragma once

#include <string>

namespace ostrel::test {

// Small documents of a known number of pages, in the formats the page
// counters read; MinimalPdf (CupsServer.h) makes the PDF ones.

// DSC-conforming PostScript: "%%Pages: n" and one "%%Page:" per page.
std::string PostScriptWithPages(int pages);
// PCL 5: a reset, each page a line of text and a raster row whose data
// holds a form feed byte, ended by a form feed; a reset at the end.
std::string PclWithPages(int pages);
// PCL XL in a PJL envelope, each page with an embedded data block full of
// EndPage bytes.
std::string PclXlWithPages(int pages);
// `lines` lines of text, no form feeds.
std::string TextWithLines(int lines);

}  // namespace ostrel::test
