// The rules of the message form that do not need a window: what the form shows
// for each mail type, how a chosen contact, category or attachment fills the
// message, what must be entered, and the last-used values it remembers.
#pragma once

#include "data/DataSet.h"
#include "data/Records.h"

#include <string>
#include <string_view>

namespace qd {

inline constexpr std::string_view kMailTypes[] = {"Email", "News", "Mass Mailing"};

struct MessageFormShape {
    std::string recipientPrompt; // "*To:", "*Newsgroup:" or "*Primary:"
    bool recipient = true;       // the recipient field and its prompt
    bool contactButton = true;   // "Select Contact to email"
    bool nameCcBcc = true;       // name, CC and BCC
    bool group = false;          // "Cate&gory:" and "Select Contact Category"
};
MessageFormShape messageFormShape(std::string_view mailType);

// The values the form starts a type with: an empty newsgroup from
// "LastNewsgroup", an empty category from "LastMassMailing" (with "N/A" as the
// recipient, as when a category is chosen).
void applyMailTypeDefaults(MessagesRecord& m, const std::string& lastNewsgroup,
                           const std::string& lastMassMailing);
// Addresses the message to a contact (number, address, "First Last").
void addressMessageTo(MessagesRecord& m, const ContactRecord& c);
// A chosen category: "N/A" as the recipient when none is given.
void categoryChosen(MessagesRecord& m);
// A chosen attachment: its file name as the subject when there is none.
void attachmentChosen(MessagesRecord& m);
// The prompt of the first required field left empty ("To (Email Address)",
// "Subject"), or "" when the message may be saved.
std::string missingMessageField(const MessagesRecord& m);
// What a "Send Email" step shows for the message it sends: the subject without
// trailing blanks, " - " and the recipient.
std::string sendEmailStepTitle(const MessagesRecord& m);

// The configuration key and value the form remembers when a message is saved
// ("LastEmail", "LastNewsgroup", "LastMassMailing"); the value is empty when
// nothing is to be remembered.
std::pair<std::string, std::string> lastUsedValue(const MessagesRecord& m);
std::string readLastUsed(DataSet& ds, const std::string& key);
void rememberLastUsed(DataSet& ds, const MessagesRecord& m);

} // namespace qd
