// One outgoing mail: the caller fills a MailSender (host, sender, recipients,
// subject, body, attachments) and calls send(). send() packs everything into one
// SendMailBlock and hands it to the mail transport, which does the network work
// (the SMTP client on libcurl unless a test gives another) and returns one
// result code; mailErrorText turns the code into the text users see.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

// Result codes of a send.
namespace mailresult {
inline constexpr int Success = 0;
inline constexpr int BadArguments = 1;
inline constexpr int TempFileRead = 2;
inline constexpr int SocketsStart = 3;
inline constexpr int ResolveHost = 4;
inline constexpr int SocketHandle = 5;
inline constexpr int Connect = 6;
inline constexpr int SendFailed = 7;
inline constexpr int ReceiveFailed = 8;
inline constexpr int ServerError = 9; // SERVERERRORMESSAGE holds the server's reply
inline constexpr int ResolveHostName = 10;
inline constexpr int OutOfMemory = 11;
inline constexpr int TempFileOpen = 12;
inline constexpr int Unknown = 13;
inline constexpr int UserCancel = 14;
inline constexpr int NoRecipients = 15;
// Codes of our own client.
inline constexpr int HeaderLineBreak = 20;  // a header value held CR or LF: nothing was sent
inline constexpr int SecureConnection = 21; // STARTTLS required but not offered, or TLS failed
inline constexpr int AttachmentUnreadable = 22;
} // namespace mailresult

// One recipient as the transport receives it (fixed layout, NUL-terminated texts).
struct MailAddress {
    char NAME[200]{};
    char EMAIL[200]{};
};
static_assert(sizeof(MailAddress) == 400);

struct MailAttachment {
    char FILENAME[255]{};
    std::uint8_t FILETYPE = 0;
};
static_assert(sizeof(MailAttachment) == 256);

// How the transport secures the connection.
enum class MailSecurity : std::uint8_t {
    StartTlsWhenOffered, // STARTTLS when the server offers it, plain text otherwise
    RequireStartTls,     // fail (SecureConnection) unless STARTTLS succeeds
    Plain,               // never STARTTLS
};

// Progress while the message is sent: bytes sent so far and in all.
using MailProgress = std::function<void(std::uint32_t processed, std::uint32_t total)>;

// Everything the transport gets for one mail. Texts point into the sender's
// buffers; lists are the sender's record blocks.
struct SendMailBlock {
    const char* MAILHOST = nullptr;
    const char* MAILER = nullptr;
    const char* FROM = nullptr;
    const char* RETURNPATH = nullptr;
    const char* ORGANIZATION = nullptr;
    const char* SUBJECT = nullptr;
    const char* TONAME = nullptr;
    std::span<const MailAddress> TOADR;
    std::span<const MailAddress> CCADR;
    std::span<const MailAddress> BCCADR;
    std::uint8_t PRIORITY = 0;
    std::uint8_t SERVERMODE = 0;
    const char* USERNAME = nullptr;
    const char* USERPASSWORD = nullptr;
    const char* MESSAGETEXT = nullptr;       // body when MESSAGETEXTAVAIL is set, else nullptr
    const char* MESSAGETEXTHANDLE = nullptr; // the body block, or nullptr
    std::uint8_t MESSAGETYPE = 0;
    std::span<const MailAttachment> ATTACHMENTS;
    const MailProgress* SENDMAILCALLBACK = nullptr;
    std::uint8_t OEMTOANSI = 0;
    const char* DEBUGFILE = nullptr;
    std::uint32_t* BYTESPROCESSED = nullptr;
    std::uint32_t* BYTESTOTAL = nullptr;
    std::atomic<std::uint8_t>* USERCANCEL = nullptr;
    char* SERVERERRORMESSAGE = nullptr; // kServerErrorCapacity bytes the transport fills
    // The connection's security and the trusted certificates, a file or a
    // hashed folder (empty: the system's).
    MailSecurity SECURITY = MailSecurity::StartTlsWhenOffered;
    const char* CAFILE = nullptr;
};

inline constexpr std::size_t kServerErrorCapacity = 500;

// The network side of a send: returns a result code (above 1000 also means success).
using MailTransport = std::function<int(SendMailBlock& block)>;

// The SMTP client on libcurl.
int SendMailSmtp(SendMailBlock& block);

class MailSender {
public:
    // The defaults: empty texts and lists, PRIORITY 3, SERVERMODE 1, MESSAGETYPE 6.
    MailSender();
    explicit MailSender(MailTransport transport);

    // Texts are stored without trailing blanks, cut to 200 characters (the debug
    // file name to 255), never in the middle of a UTF-8 character.
    void SetMailHost(std::string_view text) { MAILHOST = cut(text, 200); }
    void SetMailer(std::string_view text) { MAILER = cut(text, 200); }
    void SetFrom(std::string_view text) { FROM = cut(text, 200); }
    void SetReturnPath(std::string_view text) { RETURNPATH = cut(text, 200); }
    void SetOrganization(std::string_view text) { ORGANIZATION = cut(text, 200); }
    void SetSubject(std::string_view text) { SUBJECT = cut(text, 200); }
    void SetDebugFile(std::string_view text) { DEBUGFILE = cut(text, 255); }
    void SetServerMode(std::uint8_t mode) { SERVERMODE = mode; }
    void SetCallback(MailProgress callback) { SENDMAILCALLBACK = std::move(callback); }
    // Server login (empty user: no login).
    void SetLogin(std::string_view user, std::string_view password);
    void SetSecurity(MailSecurity security, std::string caFile = {});

    // A blank address is ignored.
    void AddTo(std::string_view name, std::string_view address);
    void AddCC(std::string_view name, std::string_view address);
    void AddBCC(std::string_view address);
    void AddAttachment(std::string_view fileName, std::uint8_t type);
    // Keeps a copy of the body (without trailing blanks) and its type.
    void SetMessageText(std::string_view body, std::uint8_t type);

    // Sends the mail: 0 for success, else a code of mailresult.
    int Send();
    // The text for a result code (at most 255 characters).
    std::string MailErrorText(int code) const;

    // The server's reply after a ServerError.
    const std::string& serverErrorMessage() const { return SERVERERRORMESSAGE; }
    std::size_t toCount() const { return TOADR.size(); }
    // Asks a running send (from another thread) to give up: it ends with UserCancel.
    void cancel() { *USERCANCEL = 1; }

private:
    static std::string cut(std::string_view value, std::size_t capacity);
    static void addAddress(std::vector<MailAddress>& list, std::string_view name, std::string_view address);

    MailTransport transport_;
    std::string MAILHOST, MAILER, FROM, RETURNPATH, ORGANIZATION, SUBJECT;
    std::vector<MailAddress> TOADR, CCADR, BCCADR;
    std::string TONAME;
    std::uint8_t PRIORITY = 3;
    std::uint8_t SERVERMODE = 1;
    std::string USERNAME, USERPASSWORD;
    std::string MESSAGETEXTHANDLE; // the body block
    bool MESSAGETEXTHANDLEFREE = false;
    std::uint8_t MESSAGETYPE = 6;
    std::vector<MailAttachment> ATTACHMENTS;
    MailProgress SENDMAILCALLBACK;
    std::uint8_t OEMTOANSI = 0;
    std::string DEBUGFILE;
    std::string SERVERERRORMESSAGE;
    std::uint32_t BYTESPROCESSED = 0;
    std::uint32_t BYTESTOTAL = 0;
    std::unique_ptr<std::atomic<std::uint8_t>> USERCANCEL = std::make_unique<std::atomic<std::uint8_t>>(0);
    MailSecurity security_ = MailSecurity::StartTlsWhenOffered;
    std::string caFile_;
};

// The text for a result code; `serverReply` completes the ServerError text.
std::string MailErrorText(int code, std::string_view serverReply = {});

// Whether a header value holds a carriage return or line feed.
bool hasLineBreak(std::string_view text);
// A header value as an RFC 2047 encoded word when it is not plain printable
// ASCII; the text itself otherwise.
std::string encodeHeaderText(std::string_view text);
// "Name <address>" for a header, the name quoted or encoded as needed; the
// address alone when the name is empty.
std::string formatMailbox(std::string_view name, std::string_view address);
// The address inside "Name <address>" (the text itself when it has no "<").
std::string addressPart(std::string_view mailbox);

} // namespace qd
