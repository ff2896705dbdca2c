#include "ui/EntryIcons.h"

#include "ui/TrayIcon.h"

#include <QFile>

#include <string_view>

namespace qdui {
namespace {

struct EntryPicture {
    std::string_view id;
    const char* theme; // freedesktop icon name; "" when the naming has none
    const char* file;  // in :/quandrel/entries/
};

constexpr EntryPicture kPictures[] = {
    {"ScheduledTasks", "x-office-calendar", "scheduled-tasks"},
    {"ExploreSchedule", "", "scheduled-tasks"},
    {"ToDoItems", "", "todo"},
    {"Contacts", "x-office-address-book", "contacts"},
    {"ClipboardSaver", "edit-paste", "clipboard"},
    {"EmailMessages", "", "email"},
    {"NewMessage", "", "new-message"},
    {"AddMessage", "", "new-message"},
    {"NewProgram", "", "new-program"},
    {"AddProgram", "", "new-program"},
    {"NewScript", "", "new-script"},
    {"AddScript", "", "new-script"},
    {"Options", "preferences-system", "options"},
    {"About", "help-about", "about"},
    {"HelpContents", "help-contents", "help"},
    {"StopScripts", "process-stop", "stop-scripts"},
    {"StopScript", "process-stop", "stop-scripts"},
    {"ViewLog", "", "view-log"},
    {"ReportBug", "", "report-bug"},
    {"BackupRestore", "", "backup"},
    {"FileManager", "", "file-manager"},
    {"HotKeys", "input-keyboard", "hot-keys"},
    {"Restore", "view-restore", "restore"},
    {"Exit", "application-exit", "exit"},
};

const EntryPicture* find(std::string_view id) {
    for (const EntryPicture& p : kPictures)
        if (p.id == id) return &p;
    return nullptr;
}

} // namespace

QIcon ownEntryIcon(const std::string& id) {
    const EntryPicture* p = find(id);
    if (!p) return {};
    applicationIcon(); // makes sure the resources are registered
    return QIcon(QStringLiteral(":/quandrel/entries/%1.svg").arg(QString::fromUtf8(p->file)));
}

QIcon entryIcon(const std::string& id) {
    const EntryPicture* p = find(id);
    if (!p) return {};
    const QIcon own = ownEntryIcon(id);
    return *p->theme ? QIcon::fromTheme(QString::fromUtf8(p->theme), own) : own;
}

} // namespace qdui
