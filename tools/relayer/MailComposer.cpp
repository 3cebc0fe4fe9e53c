#include "MailComposer.h"

#include "ReportRendering.h"
#include "SafeText.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

namespace ostrel {
namespace {

constexpr std::string_view kBase64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

std::string Base64(std::string_view bytes)
{
    std::string encoded;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (i + 1 < bytes.size())
            group |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size())
            group |= static_cast<unsigned char>(bytes[i + 2]);
        encoded += kBase64[(group >> 18) & 63];
        encoded += kBase64[(group >> 12) & 63];
        encoded += i + 1 < bytes.size() ? kBase64[(group >> 6) & 63] : '=';
        encoded += i + 2 < bytes.size() ? kBase64[group & 63] : '=';
    }
    return encoded;
}

namespace {

// Encoded words of at most 45 bytes of text each (75 characters with their
// frame), cut between UTF-8 characters.
std::string EncodedWords(std::string_view text)
{
    std::string words;
    while (!text.empty()) {
        // At least one byte a word, so that broken UTF-8 still ends.
        const std::size_t cut = std::max<std::size_t>(1, Utf8CutPoint(text, 45));
        if (!words.empty())
            words += ' ';
        words += "=?UTF-8?B?" + Base64(text.substr(0, cut)) + "?=";
        text.remove_prefix(cut);
    }
    return words;
}

std::string HtmlEscaped(std::string_view text)
{
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '&': escaped += "&amp;"; break;
        case '"': escaped += "&quot;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

// The caption of a report document: the text between its first period tags.
std::string_view Caption(std::string_view document)
{
    const std::size_t start = document.find("<period>");
    if (start == std::string_view::npos)
        return {};
    const std::size_t end = document.find("</period>", start);
    return end == std::string_view::npos ? std::string_view{} : document.substr(start + 8, end - start - 8);
}

// "02/29/2024" for the caption "03/01/2024"; empty when the caption is no date.
std::string DayBefore(std::string_view caption)
{
    unsigned month = 0;
    unsigned day = 0;
    int year = 0;
    char tail = 0;
    if (caption.size() != 10 ||
        std::sscanf(std::string(caption).c_str(), "%2u/%2u/%4d%c", &month, &day, &year, &tail) != 3)
        return {};
    using namespace std::chrono;
    const year_month_day date{std::chrono::year(year) / std::chrono::month(month) / std::chrono::day(day)};
    if (!date.ok())
        return {};
    const year_month_day before{sys_days(date) - days(1)};
    char text[16];
    std::snprintf(text, sizeof text, "%02u/%02u/%04d", static_cast<unsigned>(before.month()),
                  static_cast<unsigned>(before.day()), static_cast<int>(before.year()));
    return text;
}

std::string MessageId(std::string_view senderAddress)
{
    std::random_device random;
    const std::uint64_t unique = (static_cast<std::uint64_t>(random()) << 32) | random();
    char text[32];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(unique));
    return "<" + std::string(text) + ".ostrel" + std::string(senderAddress.substr(senderAddress.rfind('@'))) + ">";
}

std::string PlainName(std::string_view name)
{
    std::string plain;
    for (const char c : name)
        plain += static_cast<unsigned char>(c) < ' ' || c == 0x7F ? ' ' : c;
    const std::size_t first = plain.find_first_not_of(' ');
    const std::size_t last = plain.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : plain.substr(first, last - first + 1);
}

}  // namespace

std::string MailboxHeader(std::string_view name, std::string_view address)
{
    const std::string plain = PlainName(name);
    if (plain.empty())
        return std::string(address);
    const bool ascii =
        std::all_of(plain.begin(), plain.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii)
        return EncodedWords(plain) + " <" + std::string(address) + ">";
    std::string quoted = "\"";
    for (const char c : plain) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\" <" + std::string(address) + ">";
}

std::string MailDate(Clock::TimePoint now)
{
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::tm local = LocalTime(now);
    const long offset = local.tm_gmtoff / 60;
    const long magnitude = offset < 0 ? -offset : offset;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld", kDays[local.tm_wday],
                  local.tm_mday, kMonths[local.tm_mon], local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec,
                  offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    return text;
}

std::string MailSubject(const HandOver& handOver, std::string_view document)
{
    if (handOver.kind == MailKind::TestMessage)
        return "Ostrel test message";
    const std::string day = DayBefore(Caption(document));
    return day.empty() ? "Ostrel daily print report" : "Ostrel print report for " + day;
}

MailMessage ComposeMail(const HandOver& handOver, std::string document, const MailSettings& settings,
                        Clock::TimePoint now)
{
    MailMessage mail;
    mail.envelopeFrom = settings.senderAddress;
    mail.envelopeTo = settings.recipient;
    mail.subject = MailSubject(handOver, document);
    mail.attachmentName = handOver.file.filename().string();
    if (mail.attachmentName.empty())
        mail.attachmentName = handOver.kind == MailKind::TestMessage ? "TestEmail.xml" : "Report.xml";

    const std::string intro = handOver.kind == MailKind::TestMessage
                                  ? "This is a test message from Ostrel: the daily print report will reach you "
                                    "at this address."
                                  : "The printing recorded on this computer during the day.";
    if (std::optional<std::string> html = RenderReportHtml(document, mail.subject, intro)) {
        mail.html = std::move(*html);
    } else {
        mail.html = "<html><head><meta charset=\"UTF-8\"><title>" + HtmlEscaped(mail.subject) +
                    "</title></head><body><h1>" + HtmlEscaped(mail.subject) + "</h1><p>" + HtmlEscaped(intro) +
                    "</p><p>The attached document " + HtmlEscaped(mail.attachmentName) +
                    " cannot be shown here.</p></body></html>";
    }
    mail.attachment = std::move(document);

    mail.headers = {
        "Date: " + MailDate(now),
        "From: " + MailboxHeader(settings.senderName, settings.senderAddress),
        "To: " + MailboxHeader({}, settings.recipient),
        "Subject: " + mail.subject,
        "Message-ID: " + MessageId(settings.senderAddress),
    };
    return mail;
}

}  // namespace ostrel
