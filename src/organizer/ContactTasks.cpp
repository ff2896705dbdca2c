#include "organizer/ContactTasks.h"

#include "data/FileManager.h"
#include "data/StoreTransaction.h"
#include "data/TableDefs.h"
#include "data/Text.h"
#include "organizer/Contacts.h"

#include <algorithm>

namespace qd {
namespace {

bool taskExists(DataSet& ds, int taskId, std::string* description = nullptr) {
    Table<ScheduleRecord> t(ds, tables::Schedule());
    if (t.open() != Level::Benign) return false;
    t.rec.ID = taskId;
    if (t.fetch("SCH:KeyID") != Level::Benign) return false;
    if (description) *description = text::trimmedRight(t.rec.Description);
    return true;
}

// Calls `each` with every link row of the contact, the table's buffer holding it.
template <class Each> void forEachLinkOf(Table<QDSCDRecord>& links, int clientId, Each each) {
    links.rec = {};
    links.rec.ClientID = clientId;
    links.setPosition(links.def().findKey("SCD:KeyContact"), 1);
    while (links.next() == Level::Benign && links.rec.ClientID == clientId)
        if (!each()) return;
}

} // namespace

std::vector<TaskEntry> tasksOfContact(DataSet& ds, int clientId) {
    std::vector<TaskEntry> out;
    Table<QDSCDRecord> links(ds, tables::QDSCD());
    if (links.open() != Level::Benign) return out;
    std::vector<int> ids;
    forEachLinkOf(links, clientId, [&] {
        ids.push_back(links.rec.ID);
        return true;
    });
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    for (int id : ids) {
        TaskEntry task{id, {}};
        if (taskExists(ds, id, &task.description)) out.push_back(std::move(task));
    }
    return out;
}

std::vector<TaskEntry> findTasks(DataSet& ds, const std::string& search, int most) {
    std::vector<TaskEntry> out;
    const std::string wanted = text::trimmed(search);
    const bool number =
        !wanted.empty() && wanted.size() < 10 &&
        std::all_of(wanted.begin(), wanted.end(), [](char c) { return c >= '0' && c <= '9'; });
    int byNumber = 0;
    if (number) {
        TaskEntry t{std::stoi(wanted), {}};
        if (taskExists(ds, t.taskId, &t.description)) {
            byNumber = t.taskId;
            out.push_back(std::move(t));
        }
    }
    Table<ScheduleRecord> tasks(ds, tables::Schedule());
    if (tasks.open() != Level::Benign) return out;
    tasks.setOrder(tasks.def().findKey("SCH:KeyID"));
    while (static_cast<int>(out.size()) < most && tasks.next() == Level::Benign) {
        if (tasks.rec.ID == byNumber) continue;
        if (!wanted.empty() && !text::containsNoCase(tasks.rec.Description, wanted)) continue;
        out.push_back({tasks.rec.ID, text::trimmedRight(tasks.rec.Description)});
    }
    return out;
}

std::vector<int> contactsOfTask(DataSet& ds, int taskId) {
    std::vector<int> out;
    Table<QDSCDRecord> links(ds, tables::QDSCD());
    if (links.open() != Level::Benign) return out;
    links.rec.ID = taskId;
    links.setPosition(links.def().findKey("SCD:KeyID"), 1);
    while (links.next() == Level::Benign && links.rec.ID == taskId)
        out.push_back(links.rec.ClientID);
    return out;
}

LinkResult linkContactToTask(DataSet& ds, int clientId, int taskId) {
    if (!findContact(ds, clientId)) return LinkResult::NoSuchContact;
    if (!taskExists(ds, taskId)) return LinkResult::NoSuchTask;
    Table<QDSCDRecord> links(ds, tables::QDSCD());
    if (links.open() != Level::Benign) return LinkResult::Failed;
    // The check and the new row in one transaction, so two links of the same
    // pair cannot both be added.
    StoreTransaction transaction(links);
    if (!transaction.started()) return LinkResult::Failed;
    bool linked = false;
    forEachLinkOf(links, clientId, [&] {
        linked = links.rec.ID == taskId;
        return !linked;
    });
    if (linked) return LinkResult::AlreadyLinked;
    links.rec = {};
    links.rec.ID = taskId;
    links.rec.ClientID = clientId; // SCD_ID: the next number within the task
    if (links.insert() != Level::Benign) return LinkResult::Failed;
    return transaction.commit() == Level::Benign ? LinkResult::Linked : LinkResult::Failed;
}

bool unlinkContactFromTask(DataSet& ds, int clientId, int taskId) {
    Table<QDSCDRecord> links(ds, tables::QDSCD());
    if (links.open() != Level::Benign) return false;
    StoreTransaction transaction(links);
    if (!transaction.started()) return false;
    int removed = 0;
    bool failed = false;
    // Every row of the pair (older data may hold the same link twice).
    for (bool again = true; again && !failed;) {
        again = false;
        forEachLinkOf(links, clientId, [&] {
            if (links.rec.ID != taskId) return true;
            if (links.deleteRecord() != Level::Benign)
                failed = true;
            else
                ++removed, again = true;
            return false;
        });
    }
    if (failed || removed == 0) return false;
    return transaction.commit() == Level::Benign;
}

} // namespace qd
