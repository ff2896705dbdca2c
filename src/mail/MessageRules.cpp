#include "mail/MessageRules.h"

#include "data/Settings.h"
#include "data/Text.h"
#include "organizer/Contacts.h"

namespace qd {
namespace {

bool blank(std::string_view s) {
    return text::trimmed(s).empty();
}
bool isType(std::string_view type, std::string_view wanted) {
    return text::equalsNoCase(text::trimmed(type), wanted);
}

} // namespace

MessageFormShape messageFormShape(std::string_view mailType) {
    MessageFormShape s;
    if (isType(mailType, "News")) {
        s.recipientPrompt = "*Newsgroup:";
        s.contactButton = false;
        s.nameCcBcc = false;
    } else if (isType(mailType, "Mass Mailing")) {
        s.recipientPrompt = "*Primary:";
        s.recipient = false;
        s.contactButton = false;
        s.nameCcBcc = false;
        s.group = true;
    } else {
        s.recipientPrompt = "*To:";
    }
    return s;
}

void applyMailTypeDefaults(MessagesRecord& m, const std::string& lastNewsgroup,
                           const std::string& lastMassMailing) {
    if (isType(m.MailType, "News") && blank(m.EmailTo)) m.EmailTo = text::trimmed(lastNewsgroup);
    if (isType(m.MailType, "Mass Mailing")) {
        if (blank(m.EmailToGroup)) m.EmailToGroup = text::trimmed(lastMassMailing);
        categoryChosen(m);
    }
}

void addressMessageTo(MessagesRecord& m, const ContactRecord& c) {
    m.ContactID = c.ClientID;
    m.EmailTo = text::trimmedRight(c.Email);
    m.EmailToName = ContactDisplayName(c);
}

void categoryChosen(MessagesRecord& m) {
    if (!blank(m.EmailToGroup) && blank(m.EmailTo)) m.EmailTo = "N/A";
}

void attachmentChosen(MessagesRecord& m) {
    if (!blank(m.Attachment) && blank(m.Subject)) m.Subject = text::trimmed(m.Attachment);
}

std::string missingMessageField(const MessagesRecord& m) {
    if (blank(m.EmailTo)) return "To (Email Address)";
    if (blank(m.Subject)) return "Subject";
    return {};
}

std::pair<std::string, std::string> lastUsedValue(const MessagesRecord& m) {
    if (isType(m.MailType, "News")) return {"LastNewsgroup", text::trimmed(m.EmailTo)};
    if (isType(m.MailType, "Mass Mailing")) return {"LastMassMailing", text::trimmed(m.EmailToGroup)};
    return {"LastEmail", text::trimmed(m.EmailTo)};
}

std::string readLastUsed(DataSet& ds, const std::string& key) {
    SettingsStore store(ds);
    return text::trimmed(store.read(key, "", LegacyIni::None).value);
}

void rememberLastUsed(DataSet& ds, const MessagesRecord& m) {
    const auto [key, value] = lastUsedValue(m);
    if (value.empty()) return;
    SettingsStore store(ds);
    store.write(key, value);
}

std::string sendEmailStepTitle(const MessagesRecord& m) {
    return std::string(text::trimRight(m.Subject)) + " - " + m.EmailTo;
}

} // namespace qd
