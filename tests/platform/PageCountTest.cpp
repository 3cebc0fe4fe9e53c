// The page counters on small documents of every format, sound and damaged.

#include "CupsServer.h"
#include "PageCount.h"
#include "PrintDocuments.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace ostrel::pages {
namespace {

using test::MinimalPdf;

std::string Word(std::uint32_t value, bool littleEndian)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[littleEndian ? i : 3 - i] = static_cast<char>(value >> (8 * i) & 0xff);
    return bytes;
}

// A CUPS raster page header: height, bits per colour and pixel, bytes per
// line and colour order where the format keeps them.
std::string RasterHeader(std::uint32_t height, std::uint32_t bytesPerLine, bool littleEndian)
{
    std::string header(1796, '\0');
    header.replace(376, 4, Word(height, littleEndian));
    header.replace(384, 4, Word(8, littleEndian));
    header.replace(388, 4, Word(8, littleEndian));
    header.replace(392, 4, Word(bytesPerLine, littleEndian));
    return header;
}

std::string RasterV3(int pages)
{
    std::string raster = "RaS3";
    for (int page = 0; page < pages; ++page)
        raster += RasterHeader(2, 4, false) + std::string(8, 'R');  // page data that spells the sync word
    return raster;
}

std::string RasterV2LittleEndian(int pages)
{
    std::string raster = "2SaR";
    for (int page = 0; page < pages; ++page)
        // Two lines at once (repeat 1), four pixels of one value (run 3).
        raster += RasterHeader(2, 4, true) + std::string("\x01\x03\x2a", 3);
    return raster;
}

std::string AppleRaster(int pages, std::uint32_t claimed)
{
    std::string urf = std::string("UNIRAST\0", 8) + Word(claimed, false);
    for (int page = 0; page < pages; ++page) {
        std::string header(32, '\0');
        header[0] = 24;  // bits per pixel
        header.replace(12, 4, Word(100, false));
        header.replace(16, 4, Word(3, false));
        // A line of three equal pixels and blank after them, then two
        // blank lines at once.
        urf += header + std::string("\x00\x02\x01\x02\x03\x80\x01\x80", 8);
    }
    return urf;
}

std::string Half(const std::string& document)
{
    return document.substr(0, document.size() / 2);
}

TEST(PageCountTest, CountsEachFormatAndStaysBoundedOnDamagedDocuments)
{
    CountLimits limits;
    limits.maxPages = 5000;
    const std::string text100 = test::TextWithLines(100);
    struct Case {
        const char* what;
        std::string document;
        Format format;
        std::uint32_t pages;
    };
    const Case cases[] = {
        {"3-page PDF", MinimalPdf(3), Format::Pdf, 3},
        {"500-page PDF", MinimalPdf(500), Format::Pdf, 500},
        {"PDF after a PJL prologue", "\x1b%-12345X@PJL ENTER LANGUAGE=PDF\n" + MinimalPdf(2), Format::Pdf, 2},
        {"truncated PDF", Half(MinimalPdf(6)), Format::Pdf, 0},
        {"PDF whose page tree loops",
         "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
         "2 0 obj << /Type /Pages /Kids [2 0 R] /Count 1 >> endobj\n"
         "trailer << /Root 1 0 R >>\n%%EOF\n",
         Format::Pdf, 0},
        {"2-page PostScript", test::PostScriptWithPages(2), Format::PostScript, 2},
        {"PostScript without DSC", "%!\n(a) show showpage\n(b) show showpage\n/x {showpage} def\n", Format::PostScript,
         3},
        {"PostScript totals at the end", "%!PS-Adobe-3.0\n%%Pages: (atend)\nshowpage\n%%Trailer\n%%Pages: 2\n",
         Format::PostScript, 2},
        {"PostScript claiming 10^9 pages", "%!PS-Adobe-3.0\n%%Pages: 1000000000\nshowpage\n", Format::PostScript, 1},
        {"4-page PCL", test::PclWithPages(4), Format::Pcl, 4},
        {"PCL asking 3 copies",
         "\x1b"
         "E\x1b&l3XOne page\x0c\x1b"
         "E",
         Format::Pcl, 3},
        {"PCL with a huge repeat count",
         "\x1b"
         "E\x1b&l999999999Xpage\x0c\x1b&l0Hx",
         Format::Pcl, 5000},
        {"PCL raster data longer than the file",
         "\x1b"
         "Eab\x1b*b99999999W\x0c\x0c",
         Format::Pcl, 1},
        {"PCL of resets only",
         "\x1b"
         "E\x1b"
         "E\x1b"
         "E",
         Format::Pcl, 0},
        {"3-page PCL XL", test::PclXlWithPages(3), Format::PclXl, 3},
        {"PCL XL page copies", ") HP-PCL XL;2;0\n\x43\xc0\x02\xf8\x31\x44\x43\x44", Format::PclXl, 3},
        {"truncated PCL XL", Half(test::PclXlWithPages(10)), Format::PclXl, 3},
        {"PCL XL array longer than the file", ") HP-PCL XL;2;0\n\x43\x44\xc8\xc1\xff\xff\x44", Format::PclXl, 1},
        {"CUPS raster 3", RasterV3(3), Format::CupsRaster, 3},
        {"CUPS raster 2, low byte first", RasterV2LittleEndian(2), Format::CupsRaster, 2},
        {"CUPS raster with a huge height", "RaS3" + RasterHeader(0xffffffff, 0xffffffff, false), Format::CupsRaster, 1},
        {"Apple raster", AppleRaster(2, 2), Format::AppleRaster, 2},
        {"Apple raster claiming 10^9 pages", AppleRaster(1, 1000000000), Format::AppleRaster, 1},
        {"100 lines of text", text100, Format::Text, 2},
        {"66 lines of text", test::TextWithLines(66), Format::Text, 1},
        {"text with form feeds", "one\fand two\f\fand four", Format::Text, 4},
        {"nothing", "", Format::Unknown, 0},
        {"binary data",
         std::string("\x7f"
                     "ELF\x02\x01\x01\x00",
                     8),
         Format::Unknown, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DetectFormat(c.document), c.format) << c.what;
        EXPECT_EQ(CountPages(c.document, limits), c.pages) << c.what;
    }

    // Only the first maxBytes are read: a long listing cut to its first page.
    limits.maxBytes = text100.find("line 60 ");
    EXPECT_EQ(CountPages(text100, limits), 1u);
}

TEST(PageCountTest, ImpressionsAreSidesTimesCopies)
{
    struct Case {
        std::uint32_t pages, copies, numberUp, impressions;
    };
    const Case cases[] = {
        {3, 1, 1, 3},
        {3, 2, 1, 6},
        {3, 1, 2, 2},
        {3, 2, 4, 2},
        {0, 5, 1, 0},
        {7, 0, 0, 7},
        {100000, 100000, 1, 0xffffffffu},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Impressions(c.pages, c.copies, c.numberUp), c.impressions)
            << c.pages << " pages, " << c.copies << " copies, " << c.numberUp << " up";
}

}  // namespace
}  // namespace ostrel::pages
