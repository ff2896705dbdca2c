#include "users/Users.h"

#include "data/FileManager.h"
#include "data/RelationManager.h"
#include "data/TableDefs.h"
#include "data/Text.h"
#include "users/Housekeeping.h"

namespace qd {
namespace {

int userKey(const FileManager& t) {
    return t.def().findKey("U_:KeyUser");
}

// Reads the user named `name` into the table's buffer: Benign, or Notify when gone.
Level fetchUser(Table<UsersRecord>& users, const std::string& name) {
    users.rec = {};
    users.rec.User = name;
    return users.fetch(userKey(users));
}

} // namespace

bool readUsers(DataSet& ds, const std::string& after, int count, std::vector<UsersRecord>& out) {
    Table<UsersRecord> users(ds, tables::Users());
    if (users.open() != Level::Benign) return false;
    const int key = userKey(users);
    if (after.empty()) {
        users.setOrder(key);
    } else {
        // The first user at or after `after`, then past it.
        users.rec = {};
        users.rec.User = after;
        users.setPosition(key);
    }
    while (count-- > 0) {
        const Level l = users.next();
        if (l != Level::Benign) return l == Level::Notify && users.lastError().code == kStoreDone;
        if (!after.empty() && equalsNoCase(text::trimmedRight(users.rec.User), after)) {
            ++count;
            continue;
        }
        out.push_back(users.rec);
    }
    return true;
}

std::string checkUser(const UsersRecord& user) {
    if (text::trimmed(user.User).empty()) return "User must be entered.";
    return {};
}

Level addUser(DataSet& ds, const UsersRecord& user) {
    Table<UsersRecord> users(ds, tables::Users());
    if (Level l = users.open(); l != Level::Benign) return l;
    users.rec = user;
    return users.insert();
}

Level changeUser(DataSet& ds, const std::string& name, const UsersRecord& user) {
    Table<UsersRecord> users(ds, tables::Users());
    if (Level l = users.open(); l != Level::Benign) return l;
    if (Level l = fetchUser(users, name); l != Level::Benign) return l;
    users.rec = user;
    return RelationManager(users).update();
}

Level deleteUser(DataSet& ds, const std::string& name, bool ask) {
    Table<UsersRecord> users(ds, tables::Users());
    if (Level l = users.open(); l != Level::Benign) return l;
    if (Level l = fetchUser(users, name); l != Level::Benign) return l;
    return RelationManager(users).deleteRecord(ask);
}

Level assignUserToTask(DataSet& ds, std::int32_t taskId, const std::string& user) {
    Table<ScheduleRecord> sch(ds, tables::Schedule());
    Table<QDUSDRecord> usd(ds, tables::QDUSD());
    if (Level l = sch.open(); l != Level::Benign) return l;
    if (Level l = usd.open(); l != Level::Benign) return l;
    sch.rec = {};
    sch.rec.ID = taskId;
    if (Level l = sch.fetch(sch.def().findKey("SCH:KeyID")); l != Level::Benign) return l;
    usd.rec = userScheduleDetails(sch.rec, user);
    if (usd.fetch(usd.def().findKey("US:KeyID")) == Level::Benign) return Level::Notify;
    usd.rec = userScheduleDetails(sch.rec, user);
    return usd.insert();
}

} // namespace qd
