#include "PrintDocuments.h"

namespace ostrel::test {

std::string PostScriptWithPages(int pages)
{
    std::string ps = "%!PS-Adobe-3.0\n%%Pages: " + std::to_string(pages) + "\n%%EndComments\n";
    for (int page = 1; page <= pages; ++page)
        ps += "%%Page: " + std::to_string(page) + " " + std::to_string(page) +
              "\n/Helvetica findfont 12 scalefont setfont 72 720 moveto (Page " + std::to_string(page) +
              ") show showpage\n";
    return ps + "%%EOF\n";
}

std::string PclWithPages(int pages)
{
    std::string pcl =
        "\x1b"
        "E";
    for (int page = 1; page <= pages; ++page)
        pcl += "Page " + std::to_string(page) + "\r\n\x1b*r1A\x1b*b3W\x0c\x0c\x0c\x1b*rB\x0c";
    return pcl +
           "\x1b"
           "E";
}

std::string PclXlWithPages(int pages)
{
    std::string xl = "\x1b%-12345X@PJL ENTER LANGUAGE=PCLXL\r\n) HP-PCL XL;2;0\r\n";
    xl += std::string("\xc0\x00\xf8\x86\x41", 5);  // BeginSession, a ubyte attribute first
    for (int page = 0; page < pages; ++page) {
        xl += std::string("\x43", 1);                              // BeginPage
        xl += std::string("\xfb\x04\x44\x44\x44\x44", 6);          // embedded data that looks like EndPage
        xl += std::string("\xd1\x10\x00\x20\x00\xf8\x4c\x6b", 8);  // a uint16 pair, an attribute, SetCursor
        xl += std::string("\x44", 1);                              // EndPage
    }
    return xl + std::string("\x42\x1b%-12345X", 10);  // EndSession
}

std::string TextWithLines(int lines)
{
    std::string text;
    for (int line = 1; line <= lines; ++line)
        text += "line " + std::to_string(line) + " of the listing\n";
    return text;
}

}  // namespace ostrel::test
