// The address book's rules that do not need a window: a contact as text for the
// clipboard, the name a message shows for a contact, finding a contact by its
// address, and the contacts of a category.
#pragma once

#include "data/DataSet.h"
#include "data/Records.h"

#include <optional>
#include <string>
#include <vector>

namespace qd {

// Thirteen lines, each ended by CR LF: last name, first name, three address
// lines, postal code, then "Work Phone: ", "Home Phone: ", "Fax: ", "Other
// Phone: ", "Email: ", "Web Site: " and "Category: " with their values; every
// line without trailing blanks (an empty value leaves "Fax:").
std::string ContactCopyText(const ContactRecord& c);
// "First Last" without outer blanks; the last name alone without a first name.
std::string ContactDisplayName(const ContactRecord& c);

// The contact by its number; nullopt when there is none.
std::optional<ContactRecord> findContact(DataSet& ds, int clientId);
// The first contact whose address is `email` (any case); nullopt when none.
std::optional<ContactRecord> findContactByEmail(DataSet& ds, const std::string& email);
// The contacts in last-name order (all, or of one category in category order).
std::vector<ContactRecord> listContacts(DataSet& ds, const std::string& category = {});
// The categories in order.
std::vector<std::string> listContactCategories(DataSet& ds);

} // namespace qd
