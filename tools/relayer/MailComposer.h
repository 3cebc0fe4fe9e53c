#pragma once

#include "Clock.h"
#include "HandOver.h"
#include "MailChecks.h"

#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// One mail as it goes to the server: the envelope, the header lines, an
// HTML body and the sent file as an attachment.
struct MailMessage {
    std::string envelopeFrom;
    std::string envelopeTo;
    std::vector<std::string> headers;  // "Name: value", without line ends
    std::string subject;
    std::string html;
    std::string attachmentName;
    std::string attachment;
};

// The mail for `handOver`, whose file holds `document`: the document
// rendered as the body (a short note instead when it cannot be read as
// XML) and attached as it is. `settings` must have passed
// ProblemWithMailSettings.
MailMessage ComposeMail(const HandOver& handOver, std::string document, const MailSettings& settings,
                        Clock::TimePoint now);

// "Ostrel test message", or "Ostrel print report for 02/29/2024" with the
// day whose events a daily report holds: the day before its caption.
std::string MailSubject(const HandOver& handOver, std::string_view document);

// A From or To header value: the address alone, or a display name with it;
// a name that is not plain ASCII goes in RFC 2047 encoded words. Line ends
// and other controls in the name become blanks.
std::string MailboxHeader(std::string_view name, std::string_view address);

// RFC 4648 base64, with padding.
std::string Base64(std::string_view bytes);

// The Date header value, in RFC 5322 form, local time with its offset.
std::string MailDate(Clock::TimePoint now);

}  // namespace ostrel
