#include "SmtpMailer.h"

#include <curl/curl.h>

#include <memory>

namespace ostrel {
namespace {

struct EasyFree {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct ListFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct MimeFree {
    void operator()(curl_mime* mime) const { curl_mime_free(mime); }
};

using List = std::unique_ptr<curl_slist, ListFree>;

// Appends to a list; false when memory ran out (the list stays whole).
bool Append(List& list, const std::string& text)
{
    curl_slist* longer = curl_slist_append(list.get(), text.c_str());
    if (!longer)
        return false;
    list.release();
    list.reset(longer);
    return true;
}

std::string Url(const MailSettings& settings)
{
    const std::string host = settings.server.find(':') != std::string::npos && settings.server.front() != '['
                                 ? "[" + settings.server + "]"
                                 : settings.server;
    return (settings.port == 465 ? "smtps://" : "smtp://") + host + ":" + std::to_string(settings.port);
}

const char* LoginOptions(AuthMethod method)
{
    switch (method) {
    case AuthMethod::Login:
        return "AUTH=LOGIN";
    case AuthMethod::Plain:
        return "AUTH=PLAIN";
    case AuthMethod::CramMd5:
        return "AUTH=CRAM-MD5";
    case AuthMethod::None:
        break;
    }
    return nullptr;
}

}  // namespace

SmtpMailer::SmtpMailer(std::filesystem::path caFile) : caFile_(std::move(caFile)) {}

SendOutcome SmtpMailer::Send(const MailSettings& settings, const MailMessage& mail)
{
    std::unique_ptr<CURL, EasyFree> curl(curl_easy_init());
    if (!curl)
        return {false, "libcurl could not be set up"};
    CURL* handle = curl.get();
    char error[CURL_ERROR_SIZE] = {};

    List recipients;
    List headers;
    bool listed = Append(recipients, "<" + mail.envelopeTo + ">");
    for (const std::string& header : mail.headers)
        listed = listed && Append(headers, header);
    std::unique_ptr<curl_mime, MimeFree> mime(curl_mime_init(handle));
    if (!listed || !mime)
        return {false, "out of memory"};

    curl_mimepart* body = curl_mime_addpart(mime.get());
    curl_mimepart* attachment = curl_mime_addpart(mime.get());
    if (!body || !attachment)
        return {false, "out of memory"};
    curl_mime_data(body, mail.html.data(), mail.html.size());
    curl_mime_type(body, "text/html; charset=UTF-8");
    curl_mime_encoder(body, "quoted-printable");
    curl_mime_data(attachment, mail.attachment.data(), mail.attachment.size());
    curl_mime_filename(attachment, mail.attachmentName.c_str());
    curl_mime_type(attachment, "application/xml");
    curl_mime_encoder(attachment, "base64");

    const std::string url = Url(settings);
    const std::string from = "<" + mail.envelopeFrom + ">";
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_MAIL_FROM, from.c_str());
    curl_easy_setopt(handle, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle, CURLOPT_MIMEPOST, mime.get());
    curl_easy_setopt(handle, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, 300L);
    if (!caFile_.empty())
        curl_easy_setopt(handle, CURLOPT_CAINFO, caFile_.c_str());

    const AuthMethod method = ParseAuthMethod(settings.authMethod).value_or(AuthMethod::None);
    if (const char* options = LoginOptions(method)) {
        curl_easy_setopt(handle, CURLOPT_USERNAME, settings.userName.c_str());
        curl_easy_setopt(handle, CURLOPT_PASSWORD, settings.password.c_str());
        curl_easy_setopt(handle, CURLOPT_LOGIN_OPTIONS, options);
    }

    const CURLcode result = curl_easy_perform(handle);
    if (result == CURLE_OK)
        return {true, {}};
    std::string reason = curl_easy_strerror(result);
    if (error[0] != '\0' && reason != error)
        reason += std::string(": ") + error;
    long response = 0;
    if (curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &response) == CURLE_OK && response != 0)
        reason += " (last server reply " + std::to_string(response) + ")";
    return {false, reason};
}

}  // namespace ostrel
