// A report from the bytes of a period file, which may be damaged or cut
// short: the document assembled around them, then read by the streaming
// event reader, whose reading libxml2's tree must agree with, and summed.

#include "FuzzSupport.h"
#include "ReportDocument.h"
#include "ReportEventTable.h"
#include "ReportEvents.h"
#include "ReportSummary.h"
#include "XmlSupport.h"

#include <cstdint>
#include <string>

using namespace ostrel;

namespace {

constexpr std::string_view kCaption = "<period>Week 10 of 2026</period>";

std::size_t Count(std::string_view text, std::string_view part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// The event elements of the tree, their fields as the reader takes them:
// the text of the last child of that name.
void CheckAgainstTree(std::string_view document, const ReportEventTable& table)
{
    ReportResult<xml::Document> tree = xml::ParseDocument(document, "report.xml");
    FUZZ_CHECK(tree.Ok());
    const xmlNode* root = xmlDocGetRootElement(tree->get());
    FUZZ_CHECK(root && xml::NameIs(root, "log"));
    std::size_t row = 0;
    for (const xmlNode* event = root->children; event; event = event->next) {
        if (event->type != XML_ELEMENT_NODE || !xml::NameIs(event, "event"))
            continue;
        FUZZ_CHECK(row < table.Rows());
        for (int field = 0; field < ReportEventTable::FieldCount; ++field) {
            const auto which = static_cast<ReportEventTable::Field>(field);
            std::string text;
            for (const xmlNode* child = event->children; child; child = child->next)
                if (child->type == XML_ELEMENT_NODE && xml::NameIs(child, ReportEventTable::Name(which)))
                    text = xml::NodeText(child);
            FUZZ_CHECK(table.Text(row, which) == text);
        }
        ++row;
    }
    FUZZ_CHECK(row == table.Rows());
}

void CheckSums(const ReportEventTable& table)
{
    const ReportTotals totals = TotalsOf(table);
    FUZZ_CHECK(totals.jobs == table.Rows());
    // Sums that reach a limit stop there, and the parts no longer add up
    // to them; numbers this small never get there.
    constexpr std::int64_t kSmall = std::int64_t{1} << 40;
    bool small = true;
    for (std::size_t row = 0; row < table.Rows(); ++row)
        for (const auto field : {ReportEventTable::Pages, ReportEventTable::Cost}) {
            const std::int64_t number = NumberIn(table.Text(row, field));
            small = small && number < kSmall && number > -kSmall;
        }
    for (const auto& subtotals : {SubtotalsByUser(table), SubtotalsByPrinter(table)}) {
        ReportTotals sum;
        for (const ReportSubtotal& subtotal : subtotals) {
            sum.jobs += subtotal.totals.jobs;
            if (small) {
                sum.pages += subtotal.totals.pages;
                sum.cost += subtotal.totals.cost;
            }
        }
        FUZZ_CHECK(sum.jobs == totals.jobs);
        if (small)
            FUZZ_CHECK(sum == totals);
    }
    Money(totals.cost);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    xml::InitLibraries();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view periodFile = fuzz::Text(data, size);

    // The head is in front, the end tag at the end, and no whole record is lost.
    const std::string document = BuildReportDocument(periodFile, ReportKind::Aggregated, kCaption);
    const std::string head = ReportHeader(ReportKind::Aggregated) + std::string(kCaption);
    FUZZ_CHECK(document.starts_with(head) && document.ends_with("</log>"));
    FUZZ_CHECK(Count(document, "</event>") == Count(periodFile, "</event>"));
    for (const ReportKind kind : {ReportKind::Printer, ReportKind::User})
        FUZZ_CHECK(BuildReportDocument(periodFile, kind, kCaption).starts_with(ReportHeader(kind)));

    ReportResult<ReportEventTable> table = ReportEventTable::Read(document);
    ReportResult<std::vector<ReportEvent>> events = ReadReportEvents(document);
    FUZZ_CHECK(table.Ok() == events.Ok());
    if (!table)
        return 0;
    FUZZ_CHECK(events->size() == table->Rows());
    CheckAgainstTree(document, *table);
    CheckSums(*table);
    ReportCsv(*events);
    return 0;
}
