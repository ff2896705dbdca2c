// The links between contacts and tasks (QDSCD rows): the tasks a contact is
// linked to, and linking and unlinking one. A link is kept only between a task
// and a contact that both exist, once per pair; deleting either one deletes its
// links through the table relations.
#pragma once

#include "data/DataSet.h"

#include <string>
#include <vector>

namespace qd {

struct TaskEntry {
    int taskId = 0;
    std::string description; // the task's description without trailing blanks
};

// The tasks linked to contact `clientId`, in task-number order.
std::vector<TaskEntry> tasksOfContact(DataSet& ds, int clientId);
// Tasks to link: the task whose number is `search`, then those whose
// description holds it (any case), in task-number order; at most `most`.
// An empty search gives the first tasks.
std::vector<TaskEntry> findTasks(DataSet& ds, const std::string& search, int most);
// The contacts linked to task `taskId`, in the order they were linked.
std::vector<int> contactsOfTask(DataSet& ds, int taskId);

enum class LinkResult { Linked, AlreadyLinked, NoSuchTask, NoSuchContact, Failed };
// Links the contact to the task. Failed: the store refused (its message was shown).
LinkResult linkContactToTask(DataSet& ds, int clientId, int taskId);
// Removes the link of the pair; false when there was none or the store refused.
bool unlinkContactFromTask(DataSet& ds, int clientId, int taskId);

} // namespace qd
