#include "mail/MailSender.h"

#include "data/Text.h"

#include <algorithm>
#include <cstring>

namespace qd {
namespace {

// The longest prefix of `text` of at most `bytes` bytes that does not end
// inside a UTF-8 sequence.
std::string_view utf8Prefix(std::string_view text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t n = bytes;
    // Step back over continuation bytes to the start of the cut character.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return text.substr(0, n);
}

template <std::size_t N> void copyField(char (&into)[N], std::string_view text) {
    const std::string_view fit = utf8Prefix(text, N - 1);
    std::memcpy(into, fit.data(), fit.size());
    into[fit.size()] = '\0';
}

bool anyLineBreak(std::span<const MailAddress> list) {
    return std::any_of(list.begin(), list.end(),
                       [](const MailAddress& a) { return hasLineBreak(a.NAME) || hasLineBreak(a.EMAIL); });
}

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64(std::string_view in) {
    std::string out;
    out.reserve((in.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(in[i]) << 16) |
                           (static_cast<unsigned char>(in[i + 1]) << 8) |
                           static_cast<unsigned char>(in[i + 2]);
        out += kBase64[(v >> 18) & 63];
        out += kBase64[(v >> 12) & 63];
        out += kBase64[(v >> 6) & 63];
        out += kBase64[v & 63];
    }
    if (i < in.size()) {
        unsigned v = static_cast<unsigned char>(in[i]) << 16;
        if (i + 1 < in.size()) v |= static_cast<unsigned char>(in[i + 1]) << 8;
        out += kBase64[(v >> 18) & 63];
        out += kBase64[(v >> 12) & 63];
        out += i + 1 < in.size() ? kBase64[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

bool plainPrintable(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x20 && u < 0x7F;
    });
}

} // namespace

MailSender::MailSender() : MailSender(SendMailSmtp) {}

MailSender::MailSender(MailTransport transport) : transport_(std::move(transport)) {}

std::string MailSender::cut(std::string_view value, std::size_t capacity) {
    return std::string(utf8Prefix(text::trimmedRight(value), capacity));
}

void MailSender::addAddress(std::vector<MailAddress>& list, std::string_view name, std::string_view address) {
    const std::string a = text::trimmedRight(address);
    if (text::trimmed(a).empty()) return;
    MailAddress m;
    copyField(m.NAME, text::trimmedRight(name));
    copyField(m.EMAIL, a);
    list.push_back(m);
}

void MailSender::SetLogin(std::string_view user, std::string_view password) {
    USERNAME = cut(user, 200);
    USERPASSWORD = std::string(utf8Prefix(password, 200)); // blanks in a password count
}

void MailSender::SetSecurity(MailSecurity security, std::string caFile) {
    security_ = security;
    caFile_ = std::move(caFile);
}

void MailSender::AddTo(std::string_view name, std::string_view address) {
    addAddress(TOADR, name, address);
}

void MailSender::AddCC(std::string_view name, std::string_view address) {
    addAddress(CCADR, name, address);
}

void MailSender::AddBCC(std::string_view address) {
    addAddress(BCCADR, {}, address);
}

void MailSender::AddAttachment(std::string_view fileName, std::uint8_t type) {
    const std::string f = text::trimmedRight(fileName);
    if (text::trimmed(f).empty()) return;
    MailAttachment a;
    copyField(a.FILENAME, f);
    a.FILETYPE = type;
    ATTACHMENTS.push_back(a);
}

void MailSender::SetMessageText(std::string_view body, std::uint8_t type) {
    MESSAGETEXTHANDLE = text::trimmedRight(body);
    MESSAGETEXTHANDLEFREE = true;
    MESSAGETYPE = type;
}

int MailSender::Send() {
    SERVERERRORMESSAGE.clear();
    if (TOADR.empty()) return mailresult::NoRecipients;
    // A line break in a header value would let the value add headers (or
    // recipients) of its own: such a mail is refused before any connection.
    const bool injected = hasLineBreak(MAILER) || hasLineBreak(FROM) || hasLineBreak(RETURNPATH) ||
                          hasLineBreak(ORGANIZATION) || hasLineBreak(SUBJECT) || hasLineBreak(TONAME) ||
                          hasLineBreak(MAILHOST) || anyLineBreak(TOADR) || anyLineBreak(CCADR) ||
                          anyLineBreak(BCCADR) ||
                          std::any_of(ATTACHMENTS.begin(), ATTACHMENTS.end(),
                                      [](const MailAttachment& a) { return hasLineBreak(a.FILENAME); });
    if (injected) return mailresult::HeaderLineBreak;

    std::string serverError(kServerErrorCapacity, '\0');
    SendMailBlock b;
    b.MAILHOST = MAILHOST.c_str();
    b.MAILER = MAILER.c_str();
    b.FROM = FROM.c_str();
    b.RETURNPATH = RETURNPATH.c_str();
    b.ORGANIZATION = ORGANIZATION.c_str();
    b.SUBJECT = SUBJECT.c_str();
    b.TONAME = TONAME.c_str();
    b.TOADR = TOADR;
    b.CCADR = CCADR;
    b.BCCADR = BCCADR;
    b.PRIORITY = PRIORITY;
    b.SERVERMODE = SERVERMODE;
    b.USERNAME = USERNAME.c_str();
    b.USERPASSWORD = USERPASSWORD.c_str();
    b.MESSAGETEXT = nullptr;
    b.MESSAGETEXTHANDLE = MESSAGETEXTHANDLEFREE ? MESSAGETEXTHANDLE.c_str() : nullptr;
    b.MESSAGETYPE = MESSAGETYPE;
    b.ATTACHMENTS = ATTACHMENTS;
    b.SENDMAILCALLBACK = SENDMAILCALLBACK ? &SENDMAILCALLBACK : nullptr;
    b.OEMTOANSI = OEMTOANSI;
    b.DEBUGFILE = DEBUGFILE.c_str();
    b.BYTESPROCESSED = &BYTESPROCESSED;
    b.BYTESTOTAL = &BYTESTOTAL;
    b.USERCANCEL = USERCANCEL.get();
    b.SERVERERRORMESSAGE = serverError.data();
    b.SECURITY = security_;
    b.CAFILE = caFile_.c_str();

    int result = transport_ ? transport_(b) : mailresult::Unknown;
    if (result > 1000) result = mailresult::Success;
    SERVERERRORMESSAGE = std::string(serverError.c_str());
    BYTESPROCESSED = 0;
    BYTESTOTAL = 0;
    *USERCANCEL = 0;
    return result;
}

std::string MailSender::MailErrorText(int code) const {
    return qd::MailErrorText(code, SERVERERRORMESSAGE);
}

std::string MailErrorText(int code, std::string_view serverReply) {
    std::string t;
    switch (code) {
    case 0:
        return {};
    case 1:
        t = "Bad arguments from form";
        break;
    case 2:
        t = "Unable to open temporary mailfile for read";
        break;
    case 3:
        t = "Failed to start sockets";
        break;
    case 4:
        t = "Failed to resolve host";
        break;
    case 5:
        t = "Failed to obtain socket handle";
        break;
    case 6:
        t = "Failed to connect. Mail Server not found!";
        break;
    case 7:
        t = "Failed to send";
        break;
    case 8:
        t = "Failed to receive";
        break;
    case 9:
        t = "Mail Server Error:\r" + text::trimmedRight(serverReply);
        break;
    case 10:
        t = "Failed to resolve the host IP name";
        break;
    case 11:
        t = "Out of memory";
        break;
    case 12:
        t = "Failed to open temporary file";
        break;
    case 14:
        t = "User Cancel";
        break;
    case 15:
        t = "No recipiens specified";
        break;
    case mailresult::HeaderLineBreak:
        t = "Line break in a header field: mail refused";
        break;
    case mailresult::SecureConnection:
        t = "Secure connection (STARTTLS) failed";
        if (!text::trimmed(serverReply).empty()) t += ":\r" + text::trimmedRight(serverReply);
        break;
    case mailresult::AttachmentUnreadable:
        t = "Attachment file cannot be read";
        if (!text::trimmed(serverReply).empty()) t += ":\r" + text::trimmedRight(serverReply);
        break;
    default:
        t = "Unknown error";
        break;
    }
    return std::string(utf8Prefix(t, 255));
}

bool hasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

std::string encodeHeaderText(std::string_view text) {
    if (plainPrintable(text)) return std::string(text);
    // Encoded words of at most 75 characters: 12 for "=?UTF-8?B?" and "?=",
    // leaving 63 for base64, that is 45 bytes of text, cut between characters.
    std::string out;
    while (!text.empty()) {
        const std::string_view chunk = text.size() <= 45 ? text : utf8Prefix(text, 45);
        const std::string_view take = chunk.empty() ? text.substr(0, 1) : chunk;
        if (!out.empty()) out += ' ';
        out += "=?UTF-8?B?" + base64(take) + "?=";
        text.remove_prefix(take.size());
    }
    return out;
}

std::string formatMailbox(std::string_view name, std::string_view address) {
    const std::string n = text::trimmed(name);
    const std::string a = text::trimmed(address);
    if (n.empty() || n == a) return a;
    std::string shown;
    if (!plainPrintable(n)) {
        shown = encodeHeaderText(n);
    } else {
        shown = "\"";
        for (const char c : n) {
            if (c == '"' || c == '\\') shown += '\\';
            shown += c;
        }
        shown += '"';
    }
    return shown + " <" + a + ">";
}

std::string addressPart(std::string_view mailbox) {
    const auto open = mailbox.rfind('<');
    if (open == std::string_view::npos) return text::trimmed(mailbox);
    const auto close = mailbox.find('>', open);
    return text::trimmed(mailbox.substr(open + 1, close == std::string_view::npos ? std::string_view::npos
                                                                                  : close - open - 1));
}

} // namespace qd
