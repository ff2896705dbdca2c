// The users who share the data folder: reading the Users table a page at a time,
// the checks of the user form, and adding, renaming and deleting a user with its
// per-task rows (QDUSD follows a renamed user and goes with a deleted one).
//
// The password fields are kept as entered; nothing in the program checks them.
#pragma once

#include "data/DataSet.h"
#include "data/ErrorClass.h"
#include "data/Records.h"

#include <string>
#include <vector>

namespace qd {

// The choices of "Access to Information" and the values they store.
inline constexpr const char* kSecurityPersonal = "Personal";
inline constexpr const char* kSecurityAllUsers = "All Users";

inline constexpr const char* kAddUserTitle = "Add Users";
inline constexpr const char* kChangeUserTitle = "Change Users ";

// The users after `after` in U_:KeyUser order (from the first when empty), at
// most `count` of them. False when the table cannot be read.
bool readUsers(DataSet& ds, const std::string& after, int count, std::vector<UsersRecord>& out);

// The form's check before it saves: "" when the record may be stored, else the
// text of the "Missing Information" message.
std::string checkUser(const UsersRecord& user);

// Adds a user; a name already there is refused by the key with its message.
Level addUser(DataSet& ds, const UsersRecord& user);
// Writes `user` over the user named `name`; a new name is carried into the
// user's task rows. Notify when `name` is gone.
Level changeUser(DataSet& ds, const std::string& name, const UsersRecord& user);
// Deletes the user named `name` with the user's task rows; with `ask`, the
// record layer's delete question comes first.
Level deleteUser(DataSet& ds, const std::string& name, bool ask);

// Gives the task with `taskId` a row for `user` holding the task's schedule
// state. Benign when added, Notify when the user has the task already or the
// task is gone.
Level assignUserToTask(DataSet& ds, std::int32_t taskId, const std::string& user);

} // namespace qd
