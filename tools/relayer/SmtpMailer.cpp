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

// Keeps the server's last refusal (a 4xx or 5xx reply) for the log. Only
// what the server sends is looked at, never what we send: our AUTH lines
// carry the password.
int KeepServerRefusal(CURL*, curl_infotype type, char* data, size_t size, void* refusal)
{
    if (type != CURLINFO_HEADER_IN || size == 0 || (data[0] != '4' && data[0] != '5'))
        return 0;
    std::string line(data, size);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    *static_cast<std::string*>(refusal) = line;
    return 0;
}

const char* LoginOptions(AuthMethod method)
{
    switch (method) {
    case AuthMethod::Login: return "AUTH=LOGIN";
    case AuthMethod::Plain: return "AUTH=PLAIN";
    case AuthMethod::CramMd5: return "AUTH=CRAM-MD5";
    case AuthMethod::None: break;
    }
    return nullptr;
}

}  // namespace

std::string HideSecrets(std::string reply, const MailSettings& settings)
{
    if (settings.password.empty())
        return reply;
    const std::string& user = settings.userName;
    const std::string& password = settings.password;
    // Longest first, so that no form is left half hidden inside another.
    const std::string forms[] = {
        Base64(user + '\0' + user + '\0' + password),
        Base64(std::string(1, '\0') + user + '\0' + password),
        Base64(password),
        password,
    };
    constexpr std::string_view kHidden = "(hidden)";
    // The search goes on after the replacement, never into it: a password
    // such as "den" is part of "(hidden)" itself.
    for (const std::string& form : forms)
        for (std::size_t at = reply.find(form); at != std::string::npos; at = reply.find(form, at + kHidden.size()))
            reply.replace(at, form.size(), kHidden);
    return reply;
}

bool NeedsEncryption(AuthMethod method, std::string_view server)
{
    if (method != AuthMethod::Login && method != AuthMethod::Plain)
        return false;
    const bool loopbackAddress =
        server.starts_with("127.") && server.find_first_not_of("0123456789.") == std::string_view::npos;
    return !(loopbackAddress || server == "localhost" || server == "::1" || server == "[::1]");
}

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
    const AuthMethod method = ParseAuthMethod(settings.authMethod).value_or(AuthMethod::None);
    const bool encrypted = NeedsEncryption(method, settings.server);
    curl_easy_setopt(handle, CURLOPT_USE_SSL, static_cast<long>(encrypted ? CURLUSESSL_ALL : CURLUSESSL_TRY));
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, 300L);
    if (!caFile_.empty())
        curl_easy_setopt(handle, CURLOPT_CAINFO, caFile_.c_str());

    std::string refusal;
    curl_easy_setopt(handle, CURLOPT_DEBUGFUNCTION, KeepServerRefusal);
    curl_easy_setopt(handle, CURLOPT_DEBUGDATA, &refusal);
    curl_easy_setopt(handle, CURLOPT_VERBOSE, 1L);

    const char* options = LoginOptions(method);
    if (options) {
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
    if (result == CURLE_USE_SSL_FAILED && encrypted)
        reason = "the mail server offers no encryption (STARTTLS), and the " + settings.authMethod +
                 " login would show the password to anyone on the way; use port 465, CRAM MD5, or a server with "
                 "STARTTLS";
    else if (result == CURLE_LOGIN_DENIED && refusal.empty())
        reason = std::string("the mail server offers no ") + (options ? options + 5 : "") + " login";
    else if (!refusal.empty())
        reason += "; the server said: " + HideSecrets(refusal, settings);
    return {false, reason};
}

}  // namespace ostrel
