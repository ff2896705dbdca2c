#include "users/Users.h"

#include "data/StoreFixture.h"
#include "data/TableDefs.h"

#include <gtest/gtest.h>

using namespace qd;

namespace {

class UsersTest : public qdtest::StoreTest {
protected:
    UsersRecord user(const char* name) {
        UsersRecord u{};
        u.User = name;
        u.Security = kSecurityPersonal;
        return u;
    }
    std::int32_t addTask() {
        Table<ScheduleRecord> t(*ds, tables::Schedule());
        EXPECT_EQ(t.open(), Level::Benign);
        t.rec = {};
        t.rec.Description = "shared";
        t.rec.Date = 80000;
        t.rec.Time = 360001;
        EXPECT_EQ(t.insert(), Level::Benign);
        return t.rec.ID;
    }
    std::vector<QDUSDRecord> userRows() {
        Table<QDUSDRecord> t(*ds, tables::QDUSD());
        EXPECT_EQ(t.open(), Level::Benign);
        t.setOrder(0);
        std::vector<QDUSDRecord> out;
        while (t.next() == Level::Benign)
            out.push_back(t.rec);
        return out;
    }
    std::vector<std::string> allNames(int page) {
        std::vector<std::string> names;
        std::string after;
        for (;;) {
            std::vector<UsersRecord> got;
            EXPECT_TRUE(readUsers(*ds, after, page, got));
            for (const auto& u : got)
                names.push_back(u.User);
            if (static_cast<int>(got.size()) < page) return names;
            after = got.back().User;
        }
    }
};

} // namespace

TEST_F(UsersTest, PagesFollowEachOtherInNameOrderWithoutRepeats) {
    for (const char* n : {"eve", "Bob", "ann", "dan", "Carl"})
        ASSERT_EQ(addUser(*ds, user(n)), Level::Benign);
    const std::vector<std::string> expected{"ann", "Bob", "Carl", "dan", "eve"};
    EXPECT_EQ(allNames(2), expected);
    EXPECT_EQ(allNames(5), expected);
    EXPECT_EQ(allNames(100), expected);
}

TEST_F(UsersTest, NameIsRequiredAndUnique) {
    EXPECT_EQ(checkUser(user("  ")), "User must be entered.");
    EXPECT_EQ(checkUser(user("ann")), "");
    ASSERT_EQ(addUser(*ds, user("ann")), Level::Benign);
    EXPECT_NE(addUser(*ds, user("ann")), Level::Benign);
    EXPECT_FALSE(ui.shown.empty()); // the key refused it with its message
}

TEST_F(UsersTest, RenamedUserKeepsTheTaskRowsAndADeletedUserTakesThemAlong) {
    ASSERT_EQ(addUser(*ds, user("ann")), Level::Benign);
    ASSERT_EQ(addUser(*ds, user("bob")), Level::Benign);
    const auto task = addTask();
    EXPECT_EQ(assignUserToTask(*ds, task, "ann"), Level::Benign);
    EXPECT_EQ(assignUserToTask(*ds, task, "ann"), Level::Notify); // has it already
    EXPECT_EQ(assignUserToTask(*ds, task, "bob"), Level::Benign);
    EXPECT_EQ(assignUserToTask(*ds, task + 1, "bob"), Level::Notify); // no such task

    UsersRecord renamed = user("anne");
    renamed.Security = kSecurityAllUsers;
    renamed.Password = "secret";
    ASSERT_EQ(changeUser(*ds, "ann", renamed), Level::Benign);
    auto rows = userRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const QDUSDRecord& r) { return r.User == "anne"; }));
    EXPECT_EQ(rows[0].Date, 80000);

    std::vector<UsersRecord> got;
    ASSERT_TRUE(readUsers(*ds, "", 10, got));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].User, "anne");
    EXPECT_EQ(got[0].Security, kSecurityAllUsers);
    EXPECT_EQ(got[0].Password, "secret");

    ASSERT_EQ(deleteUser(*ds, "anne", false), Level::Benign);
    rows = userRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].User, "bob");
    EXPECT_EQ(changeUser(*ds, "anne", user("x")), Level::Notify);
}
