#include "organizer/Contacts.h"

#include "data/FileManager.h"
#include "data/TableDefs.h"
#include "data/Text.h"

namespace qd {

std::string ContactCopyText(const ContactRecord& c) {
    const std::string lines[] = {
        text::trimmedRight(c.LastName),
        text::trimmedRight(c.FirstName),
        text::trimmedRight(c.AddressLine1),
        text::trimmedRight(c.AddressLine2),
        text::trimmedRight(c.AddressLine3),
        text::trimmedRight(c.PostalCode),
        text::trimmedRight("Work Phone: " + c.WorkDayPhone),
        text::trimmedRight("Home Phone: " + c.HomeEveningPhone),
        text::trimmedRight("Fax: " + c.Fax),
        text::trimmedRight("Other Phone: " + c.OtherPhone),
        text::trimmedRight("Email: " + c.Email),
        text::trimmedRight("Web Site: " + c.WebSite),
        text::trimmedRight("Category: " + c.ContactCategory),
    };
    std::string out;
    for (const std::string& l : lines)
        out += l + "\r\n";
    return out;
}

std::string ContactDisplayName(const ContactRecord& c) {
    return text::trimmed(text::trimmedRight(c.FirstName) + " " + text::trimmedRight(c.LastName));
}

std::optional<ContactRecord> findContact(DataSet& ds, int clientId) {
    Table<ContactRecord> t(ds, tables::Contact());
    if (t.open() != Level::Benign) return std::nullopt;
    t.rec.ClientID = clientId;
    if (t.fetch("C_:KeyClientID") != Level::Benign) return std::nullopt;
    return t.rec;
}

std::optional<ContactRecord> findContactByEmail(DataSet& ds, const std::string& email) {
    const std::string wanted = text::trimmed(email);
    if (wanted.empty()) return std::nullopt;
    Table<ContactRecord> t(ds, tables::Contact());
    if (t.open() != Level::Benign) return std::nullopt;
    t.rec.Email = wanted;
    if (t.fetch("C_:KeyEmail") == Level::Benign) return t.rec;
    // The key compares as stored; an address typed in another case still matches.
    t.setOrder(t.def().findKey("C_:KeyEmail"));
    while (t.next() == Level::Benign)
        if (text::equalsNoCase(text::trimmed(t.rec.Email), wanted)) return t.rec;
    return std::nullopt;
}

std::vector<ContactRecord> listContacts(DataSet& ds, const std::string& category) {
    std::vector<ContactRecord> out;
    Table<ContactRecord> t(ds, tables::Contact());
    if (t.open() != Level::Benign) return out;
    const std::string group = text::trimmed(category);
    if (group.empty()) {
        t.setOrder(t.def().findKey("C_:KeyLastName"));
        while (t.next() == Level::Benign)
            out.push_back(t.rec);
        return out;
    }
    t.rec.ContactCategory = group;
    t.setPosition(t.def().findKey("C_:KeyCategory"), 1);
    while (t.next() == Level::Benign && text::equalsNoCase(text::trimmed(t.rec.ContactCategory), group))
        out.push_back(t.rec);
    return out;
}

std::vector<std::string> listContactCategories(DataSet& ds) {
    std::vector<std::string> out;
    Table<ContactCategoriesRecord> t(ds, tables::ContactCategories());
    if (t.open() != Level::Benign) return out;
    t.setOrder(0);
    while (t.next() == Level::Benign)
        out.push_back(text::trimmed(t.rec.ContactCategory));
    return out;
}

} // namespace qd
