// The contact as clipboard text, and finding contacts by address and category.
#include "organizer/Contacts.h"
#include "data/FileManager.h"
#include "data/TableDefs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace qd;

TEST(ContactsTest, CopyTextKeepsItsOrderLabelsAndBlankLines) {
    ContactRecord c{};
    c.LastName = "Lee   ";
    EXPECT_EQ(ContactCopyText(c),
              "Lee\r\n\r\n\r\n\r\n\r\n\r\nWork Phone:\r\nHome Phone:\r\nFax:\r\nOther Phone:\r\n"
              "Email:\r\nWeb Site:\r\nCategory:\r\n");
    c.FirstName = "Ann";
    c.AddressLine1 = "1 Main St";
    c.AddressLine3 = "Springfield";
    c.PostalCode = "12345";
    c.WorkDayPhone = "555-1";
    c.HomeEveningPhone = "555-2";
    c.Fax = "555-3";
    c.OtherPhone = "555-4";
    c.Email = "ann@example.org";
    c.WebSite = "example.org";
    c.ContactCategory = "Friends";
    EXPECT_EQ(ContactCopyText(c),
              "Lee\r\nAnn\r\n1 Main St\r\n\r\nSpringfield\r\n12345\r\nWork Phone: 555-1\r\n"
              "Home Phone: 555-2\r\nFax: 555-3\r\nOther Phone: 555-4\r\n"
              "Email: ann@example.org\r\nWeb Site: example.org\r\nCategory: Friends\r\n");
    EXPECT_EQ(ContactDisplayName(c), "Ann Lee");
    c.FirstName = "";
    EXPECT_EQ(ContactDisplayName(c), "Lee");
}

TEST(ContactsTest, LookupsByAddressAndCategory) {
    qdtest::TempDir dir;
    ScriptedUserInterface ui;
    ErrorClass errors(&ui);
    DataSet ds(dir.path(), errors);
    {
        Table<ContactCategoriesRecord> cat(ds, tables::ContactCategories());
        ASSERT_EQ(cat.open(), Level::Benign);
        for (const char* name : {"Work", "Club"}) {
            cat.rec.ContactCategory = name;
            ASSERT_EQ(cat.insert(), Level::Benign);
        }
        Table<ContactRecord> t(ds, tables::Contact());
        ASSERT_EQ(t.open(), Level::Benign);
        const char* rows[][3] = {{"Zed", "zed@example.org", "Club"},
                                 {"Abe", "Abe@Example.org", "Club"},
                                 {"Moe", "moe@example.org", "Work"}};
        for (const auto& r : rows) {
            t.rec = {};
            t.rec.LastName = r[0];
            t.rec.Email = r[1];
            t.rec.ContactCategory = r[2];
            ASSERT_EQ(t.insert(), Level::Benign);
        }
    }
    const auto abe = findContactByEmail(ds, "abe@example.ORG");
    ASSERT_TRUE(abe);
    EXPECT_EQ(abe->LastName, "Abe");
    EXPECT_FALSE(findContactByEmail(ds, "nobody@example.org"));
    EXPECT_FALSE(findContactByEmail(ds, "  "));
    const auto club = listContacts(ds, "club");
    ASSERT_EQ(club.size(), 2u);
    EXPECT_EQ(club[0].LastName, "Abe");
    EXPECT_EQ(club[1].LastName, "Zed");
    EXPECT_EQ(listContacts(ds).size(), 3u);
    EXPECT_EQ(listContactCategories(ds), (std::vector<std::string>{"Club", "Work"}));
    ASSERT_TRUE(findContact(ds, club[1].ClientID));
    EXPECT_EQ(findContact(ds, club[1].ClientID)->LastName, "Zed");
}
