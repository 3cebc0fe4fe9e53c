#include "ReportTestSupport.h"

#include "EventLogWriter.h"
#include "Files.h"
#include "JobRecorder.h"
#include "JobList.h"
#include "RegistryHive.h"

#include <libxml/HTMLparser.h>
#include <libxml/xpath.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <stdexcept>

namespace ostrel::test {

namespace fs = std::filesystem;

ZoneGuard::ZoneGuard(const char* zone)
{
    if (const char* old = std::getenv("TZ")) {
        saved_ = old;
        hadZone_ = true;
    }
    ::setenv("TZ", zone, 1);
    ::tzset();
}

ZoneGuard::~ZoneGuard()
{
    if (hadZone_)
        ::setenv("TZ", saved_.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

ReportAppFolder::ReportAppFolder()
{
    fs::create_directories(Logs());
    for (const char* name : {"printers.xsl", "users.xsl", "style.xsl"})
        fs::copy_file(ShippedStylesheet(name), Logs() / name);
    WriteSettings({});
}

void ReportAppFolder::WriteSettings(const std::vector<std::pair<std::string, std::string>>& printers)
{
    std::string document = "<log><printers>";
    for (const auto& [name, id] : printers)
        document += "<name>" + name + "</name><ID>" + id + "</ID><cost>5</cost><monitored>1</monitored>";
    document += "</printers><users></users></log>";
    if (!ReplaceFile(folder_.Path() / "settings.xml", document))
        throw std::runtime_error("cannot write settings.xml");
}

Totals ReportAppFolder::Record(const std::vector<TestJob>& jobs, Clock::TimePoint recordedAt)
{
    FakeClock clock(recordedAt);
    EventLogWriter writer(Path(), clock);
    const TempFolder registryFolder;
    DirectoryRegistry registry(registryFolder.Path());
    JobRecorder recorder(writer, registry);
    const std::tm local = LocalTime(recordedAt);
    Totals totals;
    std::uint32_t id = 0;
    for (const TestJob& job : jobs) {
        PrintJob printJob;
        printJob.id = ++id;
        printJob.document = job.document;
        printJob.user = job.user;
        printJob.totalPages = job.pages;
        printJob.status = PrintJob::kFinished;
        printJob.submitted.year = static_cast<std::uint16_t>(local.tm_year + 1900);
        printJob.submitted.month = static_cast<std::uint16_t>(local.tm_mon + 1);
        printJob.submitted.day = static_cast<std::uint16_t>(local.tm_mday);
        printJob.submitted.hour = static_cast<std::uint16_t>(local.tm_hour);
        printJob.submitted.minute = static_cast<std::uint16_t>(local.tm_min);
        recorder.Record(printJob, job.costPerPage, job.printer);
        ++totals.jobs;
        totals.pages += job.pages;
        totals.cents += JobRecorder::JobCost(job.costPerPage, job.pages);
    }
    return totals;
}

fs::path ReportAppFolder::ShippedStylesheet(const std::string& name)
{
    return fs::path(OSTREL_DATA_DIR) / name;
}

std::string Money(std::int64_t cents)
{
    const bool negative = cents < 0;
    std::string units = std::to_string((negative ? -cents : cents) / 100);
    for (int at = static_cast<int>(units.size()) - 3; at > 0; at -= 3)
        units.insert(static_cast<size_t>(at), ",");
    const std::int64_t rest = (negative ? -cents : cents) % 100;
    return (negative ? "-" : "") + units + "." + (rest < 10 ? "0" : "") + std::to_string(rest);
}

std::map<std::string, Totals> TotalsBy(const std::vector<TestJob>& jobs, bool byUser)
{
    std::map<std::string, Totals> totals;
    for (const TestJob& job : jobs) {
        Totals& entry = totals[JobRecorder::SafeName(byUser ? job.user : job.printer)];
        ++entry.jobs;
        entry.pages += job.pages;
        entry.cents += JobRecorder::JobCost(job.costPerPage, job.pages);
    }
    return totals;
}

std::string SafeName(const std::string& name)
{
    return JobRecorder::SafeName(name);
}

std::vector<std::string> HtmlTexts(const std::string& html, const std::string& xpath)
{
    struct DocFree {
        void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
    };
    struct ContextFree {
        void operator()(xmlXPathContext* c) const { xmlXPathFreeContext(c); }
    };
    struct ObjectFree {
        void operator()(xmlXPathObject* o) const { xmlXPathFreeObject(o); }
    };
    std::unique_ptr<xmlDoc, DocFree> doc(htmlReadMemory(html.data(), static_cast<int>(html.size()), "report.html",
                                                        "UTF-8",
                                                        HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET));
    if (!doc)
        throw std::runtime_error("the HTML cannot be parsed");
    std::unique_ptr<xmlXPathContext, ContextFree> context(xmlXPathNewContext(doc.get()));
    std::unique_ptr<xmlXPathObject, ObjectFree> result(
        xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(xpath.c_str()), context.get()));
    if (!result)
        throw std::runtime_error("bad XPath expression " + xpath);
    std::vector<std::string> texts;
    if (!result->nodesetval)
        return texts;
    for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
        xmlChar* content = xmlNodeGetContent(result->nodesetval->nodeTab[i]);
        std::string text = content ? reinterpret_cast<const char*>(content) : "";
        xmlFree(content);
        const size_t first = text.find_first_not_of(" \t\r\n");
        const size_t last = text.find_last_not_of(" \t\r\n");
        texts.push_back(first == std::string::npos ? "" : text.substr(first, last - first + 1));
    }
    return texts;
}

std::string FileBytes(const fs::path& file)
{
    return ReadFileBytes(file).value_or("<missing>");
}

}  // namespace ostrel::test
