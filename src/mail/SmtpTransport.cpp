// The SMTP client: one mail per call on libcurl. The message is a MIME message
// (the body as quoted-printable UTF-8 text, each attachment as a base64 part);
// the recipients of TO, CC and BCC all go into the envelope, only TO and CC into
// the headers. The dialogue goes to the transcript file (DEBUGFILE) with the
// login masked.
#include "mail/MailSender.h"

#include "data/Text.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <random>
#include <unistd.h>

namespace qd {
namespace {

std::once_flag gCurlInit;

// What the callbacks share during one transfer.
struct Dialogue {
    int transcript = -1;
    std::string password;
    std::vector<std::string> secrets; // texts never written to the transcript
    bool inAuth = false;              // the client is answering an AUTH challenge
    bool quitting = false;            // QUIT was sent: its reply says nothing about the mail
    bool gotReply = false;
    std::string reply;      // the reply being read (multi-line replies)
    std::string errorReply; // the last 4xx/5xx reply, cleared by a later good one
    std::uint32_t* processed = nullptr;
    std::uint32_t* total = nullptr;
    std::atomic<std::uint8_t>* cancel = nullptr;
    const MailProgress* progress = nullptr;

    void write(std::string_view prefix, std::string_view line) {
        if (transcript < 0) return;
        std::string out(prefix);
        out += line;
        for (const std::string& s : secrets) {
            if (s.empty()) continue;
            for (auto at = out.find(s); at != std::string::npos; at = out.find(s, at))
                out.replace(at, s.size(), "****");
        }
        out += '\n';
        const char* p = out.data();
        std::size_t left = out.size();
        while (left > 0) {
            const ssize_t n = ::write(transcript, p, left);
            if (n <= 0) return;
            p += n;
            left -= static_cast<std::size_t>(n);
        }
    }
};

std::vector<std::string_view> lines(std::string_view data) {
    std::vector<std::string_view> out;
    while (!data.empty()) {
        auto end = data.find('\n');
        std::string_view l = data.substr(0, end);
        if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
        if (!l.empty()) out.push_back(l);
        if (end == std::string_view::npos) break;
        data.remove_prefix(end + 1);
    }
    return out;
}

int onDebug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    auto& d = *static_cast<Dialogue*>(user);
    const std::string_view chunk(data, size);
    switch (type) {
    case CURLINFO_TEXT:
        for (const auto l : lines(chunk))
            d.write("* ", l);
        break;
    case CURLINFO_HEADER_IN:
        for (const auto l : lines(chunk)) {
            d.write("< ", l);
            d.gotReply = true;
            if (!d.reply.empty()) d.reply += ' ';
            d.reply += l;
            // "250-..." continues a reply, "250 ..." (or a bare code) ends it.
            if (l.size() > 3 && l[3] == '-') continue;
            const int code = l.size() >= 3 && std::isdigit(static_cast<unsigned char>(l[0]))
                                 ? (l[0] - '0') * 100 + (l[1] - '0') * 10 + (l[2] - '0')
                                 : 0;
            if (d.quitting) {
                // The goodbye after a failure must not hide the reply that failed.
            } else if (code >= 400) {
                d.errorReply = d.reply;
            } else if (code >= 200) {
                d.errorReply.clear();
            }
            if (code != 334) d.inAuth = false;
            d.reply.clear();
        }
        break;
    case CURLINFO_HEADER_OUT:
        for (const auto l : lines(chunk)) {
            if (text::startsWithNoCase(l, "QUIT")) d.quitting = true;
            if (d.inAuth) {
                d.write("> ", "****");
            } else if (text::startsWithNoCase(l, "AUTH ")) {
                // "AUTH PLAIN <credentials>": the mechanism shows, the rest does not.
                const auto mech = l.find(' ', 5);
                d.write("> ",
                        std::string(l.substr(0, mech)) + (mech == std::string_view::npos ? "" : " ****"));
                d.inAuth = true;
            } else {
                d.write("> ", l);
            }
        }
        break;
    case CURLINFO_DATA_OUT:
        d.write("* ", std::to_string(size) + " bytes of the message sent");
        break;
    default:
        break;
    }
    return 0;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t ultotal, curl_off_t ulnow) {
    auto& d = *static_cast<Dialogue*>(user);
    if (d.processed) *d.processed = static_cast<std::uint32_t>(ulnow);
    if (d.total) *d.total = static_cast<std::uint32_t>(ultotal);
    if (d.progress && *d.progress)
        (*d.progress)(static_cast<std::uint32_t>(ulnow), static_cast<std::uint32_t>(ultotal));
    return d.cancel && d.cancel->load() != 0 ? 1 : 0;
}

// "smtp://host:port" from the host setting: "host", "host:port", "[v6]:port", or a
// URL of its own ("smtp://", "smtps://"). Port 465 means TLS from the start.
std::string serverUrl(std::string_view host) {
    std::string h = text::trimmed(host);
    if (text::startsWithNoCase(h, "smtp://") || text::startsWithNoCase(h, "smtps://")) return h;
    std::string port;
    const auto colon = h.rfind(':');
    if (colon != std::string::npos && h.find(':') == colon) {
        port = h.substr(colon + 1);
        h.resize(colon);
    } else if (!h.empty() && h.front() == '[' && colon != std::string::npos && h[colon - 1] == ']') {
        port = h.substr(colon + 1);
        h.resize(colon);
    } else if (h.find(':') != std::string::npos && h.front() != '[') {
        h = "[" + h + "]"; // a bare IPv6 address
    }
    return std::string(port == "465" ? "smtps://" : "smtp://") + h + (port.empty() ? "" : ":" + port);
}

std::string dateHeader() {
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    gmtime_r(&now, &t);
    char buf[64];
    std::snprintf(buf, sizeof buf, "Date: %s, %02d %s %04d %02d:%02d:%02d +0000", days[t.tm_wday], t.tm_mday,
                  months[t.tm_mon], t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
    return buf;
}

std::string messageId(std::string_view sender) {
    std::random_device rd;
    char id[40];
    std::snprintf(id, sizeof id, "%08x%08x%08x", rd(), rd(), rd());
    const std::string a = addressPart(sender);
    const auto at = a.find('@');
    const std::string domain = at == std::string::npos || at + 1 >= a.size() ? "localhost" : a.substr(at + 1);
    return "Message-ID: <" + std::string(id) + "@" + domain + ">";
}

std::string priorityHeader(std::uint8_t p) {
    static const char* const names[] = {"Highest", "High", "Normal", "Low", "Lowest"};
    if (p < 1 || p > 5) return {};
    return "X-Priority: " + std::to_string(p) + " (" + names[p - 1] + ")";
}

std::string addressList(std::span<const MailAddress> list, std::string_view firstName = {}) {
    std::string out;
    for (std::size_t i = 0; i < list.size(); ++i) {
        std::string_view name = list[i].NAME;
        if (i == 0 && name.empty()) name = firstName;
        if (!out.empty()) out += ", ";
        out += formatMailbox(name, list[i].EMAIL);
    }
    return out;
}

// Line ends as CR LF, whatever the text used.
std::string crlf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 40);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

void fillError(SendMailBlock& b, std::string_view text) {
    if (!b.SERVERERRORMESSAGE) return;
    const std::size_t n = std::min(text.size(), kServerErrorCapacity - 1);
    std::memcpy(b.SERVERERRORMESSAGE, text.data(), n);
    b.SERVERERRORMESSAGE[n] = '\0';
}

int resultFor(CURLcode res, const Dialogue& d, SendMailBlock& b, const char* curlError) {
    switch (res) {
    case CURLE_OK:
        return mailresult::Success;
    case CURLE_ABORTED_BY_CALLBACK:
        return mailresult::UserCancel;
    case CURLE_OUT_OF_MEMORY:
        return mailresult::OutOfMemory;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return mailresult::ResolveHost;
    case CURLE_COULDNT_CONNECT:
        return mailresult::Connect;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return mailresult::BadArguments;
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
        fillError(b, curlError);
        return mailresult::SecureConnection;
    case CURLE_READ_ERROR:
    case CURLE_FILE_COULDNT_READ_FILE:
        fillError(b, curlError);
        return mailresult::AttachmentUnreadable;
    default:
        break;
    }
    if (!d.errorReply.empty()) {
        fillError(b, d.errorReply);
        return mailresult::ServerError;
    }
    switch (res) {
    case CURLE_OPERATION_TIMEDOUT:
        return d.gotReply ? mailresult::ReceiveFailed : mailresult::Connect;
    case CURLE_SEND_ERROR:
        return mailresult::SendFailed;
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_PARTIAL_FILE:
        return mailresult::ReceiveFailed;
    default:
        return mailresult::Unknown;
    }
}

} // namespace

int SendMailSmtp(SendMailBlock& b) {
    std::call_once(gCurlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    if (!b.MAILHOST || text::trimmed(b.MAILHOST).empty()) return mailresult::ResolveHost;
    for (const MailAttachment& a : b.ATTACHMENTS) {
        const int fd = ::open(a.FILENAME, O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            fillError(b, a.FILENAME);
            return mailresult::AttachmentUnreadable;
        }
        ::close(fd);
    }

    CURL* curl = curl_easy_init();
    if (!curl) return mailresult::OutOfMemory;
    Dialogue d;
    if (b.DEBUGFILE && *b.DEBUGFILE)
        d.transcript = ::open(b.DEBUGFILE, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    d.processed = b.BYTESPROCESSED;
    d.total = b.BYTESTOTAL;
    d.cancel = b.USERCANCEL;
    d.progress = b.SENDMAILCALLBACK;
    const std::string user = b.USERNAME ? b.USERNAME : "";
    const std::string password = b.USERPASSWORD ? b.USERPASSWORD : "";
    if (!password.empty()) d.secrets.push_back(password);

    const std::string url = serverUrl(b.MAILHOST);
    d.write("--- ", "mail to " + url);

    const std::string from = b.FROM ? b.FROM : "";
    const std::string returnPath = b.RETURNPATH ? b.RETURNPATH : "";
    std::string envelopeFrom = text::trimmed(returnPath);
    if (envelopeFrom.empty() && from.find('@') != std::string::npos) envelopeFrom = addressPart(from);
    envelopeFrom = "<" + addressPart(envelopeFrom) + ">";

    curl_slist* rcpt = nullptr;
    for (const auto list : {b.TOADR, b.CCADR, b.BCCADR})
        for (const MailAddress& a : list)
            rcpt = curl_slist_append(rcpt, ("<" + addressPart(a.EMAIL) + ">").c_str());

    curl_slist* headers = nullptr;
    const auto header = [&headers](const std::string& h) { headers = curl_slist_append(headers, h.c_str()); };
    header(dateHeader());
    // A sender that is a name alone is shown with the return address.
    std::string fromHeader;
    if (from.find('@') != std::string::npos) {
        const auto angle = from.rfind('<');
        std::string name = angle == std::string::npos ? "" : text::trimmed(from.substr(0, angle));
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
            name = name.substr(1, name.size() - 2);
        fromHeader = formatMailbox(name, addressPart(from));
    } else if (!text::trimmed(from).empty() && !text::trimmed(returnPath).empty()) {
        fromHeader = formatMailbox(from, addressPart(returnPath));
    } else if (!text::trimmed(returnPath).empty()) {
        fromHeader = addressPart(returnPath);
    }
    if (!fromHeader.empty()) header("From: " + fromHeader);
    header("To: " + addressList(b.TOADR, b.TONAME ? b.TONAME : ""));
    if (!b.CCADR.empty()) header("Cc: " + addressList(b.CCADR));
    if (b.SUBJECT && *b.SUBJECT) header("Subject: " + encodeHeaderText(b.SUBJECT));
    header(messageId(returnPath.empty() ? from : returnPath));
    if (b.ORGANIZATION && *b.ORGANIZATION) header("Organization: " + encodeHeaderText(b.ORGANIZATION));
    if (b.MAILER && *b.MAILER) header("X-Mailer: " + encodeHeaderText(b.MAILER));
    if (const std::string p = priorityHeader(b.PRIORITY); !p.empty()) header(p);

    curl_mime* mime = curl_mime_init(curl);
    curl_mimepart* body = curl_mime_addpart(mime);
    const std::string bodyText = crlf(b.MESSAGETEXTHANDLE ? b.MESSAGETEXTHANDLE
                                      : b.MESSAGETEXT     ? b.MESSAGETEXT
                                                          : "");
    curl_mime_data(body, bodyText.c_str(), bodyText.size());
    curl_mime_type(body, "text/plain; charset=UTF-8");
    curl_mime_encoder(body, "quoted-printable");
    for (const MailAttachment& a : b.ATTACHMENTS) {
        curl_mimepart* part = curl_mime_addpart(mime);
        curl_mime_filedata(part, a.FILENAME);
        curl_mime_type(part, "application/octet-stream");
        curl_mime_encoder(part, "base64");
    }

    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, envelopeFrom.c_str());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_MIMEPOST, mime);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, 60L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, onDebug);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &d);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &d);
    const long useSsl = b.SECURITY == MailSecurity::RequireStartTls ? static_cast<long>(CURLUSESSL_ALL)
                        : b.SECURITY == MailSecurity::Plain         ? static_cast<long>(CURLUSESSL_NONE)
                                                                    : static_cast<long>(CURLUSESSL_TRY);
    curl_easy_setopt(curl, CURLOPT_USE_SSL, useSsl);
    if (b.CAFILE && *b.CAFILE) {
        // A folder of certificates (hashed names, as /etc/ssl/certs) or one file.
        std::error_code ec;
        if (std::filesystem::is_directory(b.CAFILE, ec)) {
            curl_easy_setopt(curl, CURLOPT_CAINFO, nullptr);
            curl_easy_setopt(curl, CURLOPT_CAPATH, b.CAFILE);
        } else {
            curl_easy_setopt(curl, CURLOPT_CAINFO, b.CAFILE);
            curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr);
        }
    }
    if (!text::trimmed(user).empty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password.c_str());
    }

    const CURLcode res = curl_easy_perform(curl);
    const int result = resultFor(res, d, b, errorBuffer[0] ? errorBuffer : curl_easy_strerror(res));
    d.write("--- ", result == 0 ? std::string("sent") : "failed: " + std::string(curl_easy_strerror(res)));

    curl_easy_cleanup(curl);
    curl_mime_free(mime);
    curl_slist_free_all(headers);
    curl_slist_free_all(rcpt);
    if (d.transcript >= 0) ::close(d.transcript);
    return result;
}

} // namespace qd
