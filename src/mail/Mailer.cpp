#include "mail/Mailer.h"

#include "data/Startup.h"
#include "data/StoreTransaction.h"
#include "data/TableDefs.h"
#include "data/Text.h"
#include "mail/NewsPoster.h"
#include "organizer/Contacts.h"

#include <cstring>
#include <mutex>

namespace qd {
namespace {

std::mutex gProgressMutex;
std::string gProgressText;

bool blank(std::string_view s) {
    return text::trimmed(s).empty();
}

MailSecurity securityOf(const std::string& setting) {
    if (text::equalsNoCase(text::trimmed(setting), "Require")) return MailSecurity::RequireStartTls;
    if (text::equalsNoCase(text::trimmed(setting), "Off")) return MailSecurity::Plain;
    return MailSecurity::StartTlsWhenOffered;
}

// The names a mass mailing fills in for each contact.
std::string fillContact(std::string s, const ContactRecord& c) {
    const std::pair<const char*, std::string> names[] = {{"[ContactName]", ContactDisplayName(c)},
                                                         {"[FirstName]", text::trimmed(c.FirstName)},
                                                         {"[LastName]", text::trimmed(c.LastName)}};
    for (const auto& [token, value] : names) {
        for (auto at = s.find(token); at != std::string::npos; at = s.find(token, at + value.size()))
            s.replace(at, std::strlen(token), value);
    }
    return s;
}

// A text for one line of the event log or a script variable: the line breaks of
// a message box text ("Mail Server Error:\r<reply>") become blanks.
std::string oneLine(std::string s) {
    for (std::size_t at = s.find_first_of("\r\n"); at != std::string::npos;
         at = s.find_first_of("\r\n", at)) {
        const std::size_t n = s.compare(at, 2, "\r\n") == 0 ? 2 : 1;
        s.replace(at, n, " ");
    }
    return s;
}

// A failure that no later recipient can escape (the server is gone or refuses us).
bool connectionFailure(int code) {
    using namespace mailresult;
    return code == ResolveHost || code == Connect || code == SendFailed || code == ReceiveFailed ||
           code == SecureConnection || code == UserCancel || code == HeaderLineBreak ||
           code == AttachmentUnreadable || code == BadArguments;
}

} // namespace

std::string MailProgressText() {
    std::lock_guard lock(gProgressMutex);
    return gProgressText;
}

void SetMailProgressText(const std::string& text) {
    std::lock_guard lock(gProgressMutex);
    gProgressText = text;
}

Mailer::Mailer(DataSet& ds, EventLog& log, UserInterface& ui, const Clock& clock, ProgramSettings settings)
    : ds_(ds), log_(log), ui_(ui), clock_(clock), settings_(std::move(settings)) {}

std::filesystem::path Mailer::transcriptFile() const {
    return ds_.folder() / "inmail.log";
}

void Mailer::setVariable(const std::string& name, const std::string& value) {
    if (setVariable_) setVariable_(name, value);
}

std::string Mailer::translate(const std::string& text) const {
    return translate_ ? translate_(text) : text;
}

MailSender Mailer::makeSender() {
    MailSender s = transport_ ? MailSender(transport_) : MailSender();
    s.SetServerMode(1);
    s.SetDebugFile(transcriptFile().string());
    s.SetMailHost(settings_.Host);
    if (!blank(settings_.MailUser)) s.SetLogin(settings_.MailUser, password_ ? password_() : std::string());
    s.SetSecurity(securityOf(settings_.MailSecurity),
                  caFile_.empty() ? std::string(text::trimmed(settings_.MailCAFile)) : caFile_);
    return s;
}

int Mailer::send(MailSender& sender) {
    SetMailProgressText("Sending Email...");
    const int r = sender.Send();
    SetMailProgressText("");
    lastError_ = r == 0 ? std::string() : sender.MailErrorText(r);
    return r;
}

int Mailer::SendStoredMessage(int emailId, bool recordInBuffer, bool stampSentDate,
                              const MessagesRecord* buffer) {
    Table<MessagesRecord> messages(ds_, tables::Messages());
    MessagesRecord m;
    if (stampSentDate || !recordInBuffer || !buffer) {
        bool found = messages.open() == Level::Benign;
        if (found) {
            messages.rec.EmailID = emailId;
            found = messages.fetch("M_:KeyEmailID") == Level::Benign;
        }
        if (!found) {
            log_.log("Error sending message", "Script");
            lastError_ = "Message #" + std::to_string(emailId) + " cannot be read";
            return 1;
        }
        m = messages.rec;
    } else {
        m = *buffer;
    }
    const bool news = text::equalsNoCase(text::trimmed(m.MailType), "News");
    if (!news && (blank(settings_.Host) || blank(settings_.Sender))) {
        ui_.message("Error!",
                    "Email not setup.  Select File->Setup, Email tab, and fill in the required information.");
        lastError_ = "Email not setup";
        return 1;
    }
    if (news && (blank(settings_.NHost) || blank(settings_.NSender))) {
        ui_.message(
            "Error!",
            "Email (News) not setup. Select File->Setup, Email tab, and fill in the required information.");
        lastError_ = "Email (News) not setup";
        return 1;
    }
    int r;
    if (news)
        r = PostNewsMessage(m);
    else if (text::equalsNoCase(text::trimmed(m.MailType), "Mass Mailing"))
        r = SendMassMailing(m);
    else
        r = sendEmail(m);
    if (r != 0) return r;
    if (!stampSentDate && recordInBuffer) return r;
    // The record is read again: the send may have taken long, and only the date changes.
    if (!messages.opened() && messages.open() != Level::Benign) return r;
    messages.rec.EmailID = m.EmailID;
    if (messages.fetch("M_:KeyEmailID") == Level::Benign) {
        messages.rec.LastDateSent = clock_.today();
        messages.update();
    }
    return r;
}

int Mailer::sendEmail(const MessagesRecord& m) {
    MailSender sender = makeSender();
    setVariable("EmailHost", text::trimmed(settings_.Host));
    const std::string name = text::trimmed(settings_.SenderName);
    const std::string address = text::trimmed(settings_.Sender);
    if (!name.empty())
        sender.SetFrom("\"" + name + "\" <" + address + ">");
    else if (!address.empty())
        sender.SetFrom(address);
    setVariable("EmailSenderName", name);
    if (!address.empty()) sender.SetReturnPath(address);
    setVariable("EmailReturnPath", address);
    if (!blank(settings_.Org)) sender.SetOrganization(settings_.Org);
    sender.SetMailer(kProductName);
    if (!blank(m.Subject)) sender.SetSubject(text::trimmedRight(translate(m.Subject)));
    if (!blank(m.EmailTo) && !text::equalsNoCase(text::trimmed(m.EmailTo), "N/A"))
        sender.AddTo(m.EmailToName, m.EmailTo);
    if (!blank(m.CC)) sender.AddCC(m.CC, m.CC);
    if (!blank(m.BCC)) sender.AddBCC(m.BCC);
    sender.SetMessageText(translate(m.Message).substr(0, 10000), 6);
    if (!blank(m.Attachment)) sender.AddAttachment(ds_.resolve(text::trimmed(m.Attachment)).string(), 8);
    const int r = send(sender);
    if (r != 0) {
        log_.log("Error:  " + oneLine(sender.MailErrorText(r)), "Mail Error");
        log_.log("Could not send " + text::trimmed(m.EmailTo), "Mail Error");
        setVariable("Mail", "Error");
        setVariable("MailError", oneLine(sender.MailErrorText(r)));
    } else {
        log_.log("Sent " + text::trimmed(m.EmailTo), text::trimmed(m.MailType));
        setVariable("Mail", "Sent");
        setVariable("MailError", "None");
    }
    return r;
}

// One mail per contact of the category, each addressed to the contact by name.
// A contact that has the mail is written down (one row per contact, committed
// with the send's success) until every contact has it; a run that stopped
// (cancelled, or the server failed) is resumed by sending the same message
// again, and nobody gets it twice. A run that reaches everybody forgets the rows
// in one transaction, so the next send of the message is a new mailing.
int Mailer::SendMassMailing(const MessagesRecord& m) {
    mass_ = {};
    const std::string group = text::trimmed(m.EmailToGroup);
    if (group.empty()) {
        lastError_ = "No contact category";
        return mailresult::NoRecipients;
    }
    std::vector<ContactRecord> contacts;
    for (const ContactRecord& c : listContacts(ds_, group))
        if (!blank(c.Email)) contacts.push_back(c);
    mass_.recipients = static_cast<int>(contacts.size());
    if (contacts.empty()) {
        lastError_ = MailErrorText(mailresult::NoRecipients);
        return mailresult::NoRecipients;
    }
    Table<MassMailSentRecord> sent(ds_, tables::MassMailSent());
    if (sent.open() != Level::Benign) return mailresult::BadArguments;
    const int key = sent.def().findKey("MMS:KeyEmailClient");

    int done = 0;
    for (const ContactRecord& c : contacts) {
        sent.rec.EmailID = m.EmailID;
        sent.rec.ClientID = c.ClientID;
        if (m.EmailID != 0 && sent.fetch(key) == Level::Benign) {
            ++mass_.alreadySent;
        } else {
            MessagesRecord one = m;
            one.MailType = "Mass Mailing";
            one.EmailTo = c.Email;
            one.EmailToName = ContactDisplayName(c);
            one.Subject = fillContact(m.Subject, c);
            one.Message = fillContact(m.Message, c);
            one.CC.clear(); // the copies go with the primary mail only, not with each contact's
            one.BCC.clear();
            const int r = sendEmail(one);
            if (r == 0) {
                ++mass_.sent;
                if (m.EmailID != 0) {
                    sent.rec = {};
                    sent.rec.EmailID = m.EmailID;
                    sent.rec.ClientID = c.ClientID;
                    sent.rec.Email = text::trimmed(c.Email);
                    sent.insert();
                }
            } else {
                ++mass_.failed;
                if (mass_.result == 0) {
                    mass_.result = r;
                    mass_.lastError = lastError_;
                }
                if (connectionFailure(r)) break;
            }
        }
        ++done;
        if (progress_ && !progress_(done, mass_.recipients)) {
            mass_.cancelled = done < mass_.recipients;
            break;
        }
    }
    if (mass_.cancelled && mass_.result == 0) {
        mass_.result = mailresult::UserCancel;
        mass_.lastError = MailErrorText(mailresult::UserCancel);
    }
    if (mass_.result == 0 && m.EmailID != 0) {
        // Everybody has it: the next send of this message starts a new mailing.
        StoreTransaction t(sent);
        sent.rec = {};
        sent.rec.EmailID = m.EmailID;
        sent.setPosition(key, 1);
        while (sent.next() == Level::Benign && sent.rec.EmailID == m.EmailID)
            sent.deleteRecord();
        t.commit();
    }
    lastError_ = mass_.lastError;
    return mass_.result;
}

int Mailer::PostNewsMessage(const MessagesRecord& m) {
    NewsArticle a;
    a.host = text::trimmed(settings_.NHost);
    const std::string name = text::trimmed(settings_.NSenderName);
    const std::string address = text::trimmed(settings_.NSender);
    a.from = name.empty() ? address : formatMailbox(name, address);
    a.organization = text::trimmed(settings_.NOrg);
    a.newsgroups = text::trimmed(m.EmailTo);
    a.subject = text::trimmedRight(translate(m.Subject));
    a.body = translate(m.Message);
    a.mailer = kProductName;
    a.transcript = transcriptFile();
    std::string reply;
    const int r = PostNewsArticle(a, reply);
    if (r != 0) {
        lastError_ = MailErrorText(r, reply);
        log_.log("Error:  " + oneLine(lastError_), "Mail Error");
        log_.log("Could not send " + a.newsgroups, "Mail Error");
        setVariable("Mail", "Error");
        setVariable("MailError", oneLine(lastError_));
    } else {
        lastError_.clear();
        log_.log("Sent " + a.newsgroups, "News");
        setVariable("Mail", "Sent");
        setVariable("MailError", "None");
    }
    return r;
}

int Mailer::sendTestMail() {
    MailSender sender = makeSender();
    const std::string name = text::trimmed(settings_.SenderName);
    const std::string address = text::trimmed(settings_.Sender);
    if (!name.empty())
        sender.SetFrom("\"" + name + "\" <" + address + ">");
    else if (!address.empty())
        sender.SetFrom(address);
    else
        sender.SetFrom("Unknown");
    sender.SetReturnPath(address);
    if (!blank(settings_.Org)) sender.SetOrganization(settings_.Org);
    sender.SetMailer(kProductName);
    sender.SetSubject("Test E-mail");
    sender.AddTo(name, address);
    sender.SetMessageText("This is a test e-mail from " + name + " using Quandrel 2000\r\n", 6);
    const int r = send(sender);
    if (r != 0)
        ui_.message("Warning", "Test message not sent.\r\n\r\nError:  " + sender.MailErrorText(r));
    else
        ui_.message("Success", "Test message sent without errors.", MessageIcon::Information);
    return r;
}

int Mailer::GenerateEmail(const std::string& title, const std::string& message, const std::string& address,
                          const std::string& name) {
    MailSender sender = makeSender();
    if (!blank(settings_.SenderName)) sender.SetFrom(settings_.SenderName);
    if (!blank(settings_.Sender)) sender.SetReturnPath(settings_.Sender);
    if (!blank(settings_.Org)) sender.SetOrganization(settings_.Org);
    sender.SetMailer("Quandrel");
    sender.SetSubject(blank(title) ? std::string("Forwarded Message") : text::trimmedRight(title));
    sender.AddTo(blank(name) ? address : name, address);
    sender.SetMessageText(message, 6);
    const int r = send(sender);
    if (r != 0)
        ui_.message("Status", "Message was not sent.\r\rError:\r" + sender.MailErrorText(r) +
                                  "\r\rSender:" + text::trimmedRight(settings_.Sender) +
                                  "\rHost:" + text::trimmedRight(settings_.Host));
    else
        ui_.message("Status", "Message sent.", MessageIcon::Information);
    return r;
}

} // namespace qd
