#include "ui/MainMenu.h"

namespace qdui {

const std::vector<MenuEntry>& mainMenuEntries() {
    static const std::vector<MenuEntry> entries = {
        {"&File/&Setup", "Options", "&Options", "F10", "Set preferences"},
        {"&File/&Setup", "SetupTaskCategories", "&Task Categories", "",
         "Setup schedule and to-do list task categories"},
        {"&File/&Setup", "SetupContactCategories", "&Contact Categories", "",
         "Set contact and email categories"},
        {"&File/&Setup", "SetupClipboardCategories", "C&lipboard Categories", "",
         "Set clipboard entry categories"},
        {"&File/&Setup", "Holidays", "&Holidays", "", "Update the list of holidays"},
        {"&File/&Setup", "ScriptTemplates", "&Script Templates", "", "Script Template Maintenance"},
        {"&File/&Setup", "Housekeeping", "House&keeping", "", "Housekeeping functions"},
        {"&File/&Setup", "PrintSetup", "Print Setup ...", "", "Setup printer"},
        {"&File/&Import", "ImportSchedule", "&Schedule", "", "Import tasks from a comma-separated file"},
        {"&File/&Import", "ImportContacts", "&Contacts", "", "Import contacts from a comma-separated file"},
        {"&File/&Import", "ImportToDo", "&To Do", "", "Import to do items from a comma-separated file"},
        {"&File/&Export", "ExportSchedule", "&Schedule", "", "Export tasks to a comma-separated file"},
        {"&File/&Export", "ExportContacts", "&Contacts", "", "Export contacts to a comma-separated file"},
        {"&File/&Export", "ExportToDo", "&To Do", "", "Export to do items to a comma-separated file"},
        {"&File", "-", "", "", ""},
        {"&File", "ViewLog", "View &Log", "F8", "Browse the Usage Log"},
        {"&File", "BackupRestore", "Backup/Restore", "", "Launch Backup/Restore module"},
        {"&File/Support &Tools", "ViewCurrentScript", "View Current Script", "",
         "View currently executing script"},
        {"&File/Support &Tools", "ReportBug", "&Report Bug", "F9", "Compose a problem report"},
        {"&File/Support &Tools", "ExploreSchedule", "Explore &Schedule", "Ctrl+Shift+X",
         "List of scheduled tasks in the alternate format"},
        {"&File/Support &Tools", "FileManager", "&File Manager", "", "Check and repair the data files"},
        {"&File", "-", "", "", ""},
        {"&File", "Exit", "E&xit", "", "Exit this application"},
        {"Edit", "Cut", "Cu&t", "Ctrl+X", "Cut the selection to the clipboard"},
        {"Edit", "Copy", "&Copy", "Ctrl+C", "Copy the selection to the clipboard"},
        {"Edit", "Paste", "&Paste", "Ctrl+V", "Paste the clipboard"},
        {"&Lists", "ScheduledTasks", "&Scheduled Tasks", "Ctrl+S", "List of Scheduled Tasks"},
        {"&Lists", "HotKeys", "Hot &Keys", "Ctrl+K", "List of hot keys"},
        {"&Lists", "ToDoItems", "&To Do Items", "Ctrl+T", "List of to do items"},
        {"&Lists", "Contacts", "&Contacts", "Ctrl+O", "List of contacts"},
        {"&Lists", "EmailMessages", "&E-mail Messages", "Ctrl+E", "List of e-mail messages"},
        {"&Lists", "ClipboardSaver", "Clip&board Saver", "", "List of saved clipboard entries"},
        {"&Lists", "Users", "&Users", "", "List of users", true},
        {"&Lists", "-", "", "", ""},
        {"&Lists", "TaskCategories", "Task Cate&gories", "", "List of task categories"},
        {"&Lists", "ContactCategories", "Co&ntact Categories", "", "List of contact categories"},
        {"&Lists", "ClipboardCategories", "C&lipboard Categories", "", "List of clipboard categories"},
        {"&Actions", "NewMessage", "New &Message (Wizard)", "Ctrl+Shift+M", "Add a message to be displayed"},
        {"&Actions", "NewProgram", "New &Program (Wizard)", "Ctrl+Shift+P", "Add a program to the schedule"},
        {"&Actions", "NewScript", "New &Script (Wizard)", "Ctrl+Shift+S", "Add a task with a script"},
        {"&Actions", "NewTask", "New &Task (Tabbed)", "Ctrl+Shift+T",
         "Add a message, program, both or neither"},
        {"&Actions", "EnterBirthdays", "Enter &Birthdays", "Ctrl+Shift+B", "Quick Birthday Entry Wizard"},
        {"&Actions", "NewHotKey", "New &Hot Key", "Ctrl+Shift+H", "Add new hot key"},
        {"&Reports/&Schedule", "ReportBrief", "&Brief Schedule", "", "Print a brief schedule"},
        {"&Reports/&Schedule", "ReportDate", "&All in Date Order", "", "Print all tasks in date order"},
        {"&Reports/&Schedule", "ReportCategory", "All in &Category Order", "",
         "Print all tasks in category order"},
        {"&Reports/&Schedule", "ReportSpecific", "&Specific Category", "", "Print the tasks of one category"},
        {"&Reports/&Schedule", "ReportChecklist", "&Checklist Style", "",
         "Print the schedule as a checklist"},
        {"&Reports/&To Do List", "ReportToDoPriority", "&Priority", "", "Print the to do list by priority"},
        {"&Reports/&To Do List", "ReportToDoCategory", "&Category", "", "Print the to do list by category"},
        {"&Reports", "ReportContacts", "&Contacts", "", "List of Contacts"},
        {"&Reports", "ReportCategories", "Cate&gories", "", "Print the categories"},
        {"&Reports", "CustomReports", "Custom &Reports", "", "Design and print your own reports"},
        {"&Window", "Tile", "T&ile", "", "Tile the open windows"},
        {"&Window", "Cascade", "&Cascade", "", "Cascade the open windows"},
        {"&Window", "ArrangeIcons", "&Arrange Icons", "", "Arrange the minimized windows"},
        {"&Help", "HelpContents", "&Contents", "", "Open the user manual"},
        {"&Help", "HelpIndex", "&Index", "", "Open the user manual"},
        {"&Help", "HelpSearch", "&Search for Help On...", "", "Open the user manual"},
        {"&Help", "HelpHowTo", "&How to Use Help", "", "Open the user manual"},
        {"&Help", "-", "", "", ""},
        {"&Help", "About", "&About", "", "About this program"},
    };
    return entries;
}

const std::vector<std::string>& toolbarEntries() {
    static const std::vector<std::string> entries = {
        "ScheduledTasks", "ToDoItems", "Contacts", "ClipboardSaver", "EmailMessages", "-", "NewMessage",
        "NewProgram",     "NewScript", "-",        "Options",        "About",         "-", "StopScripts"};
    return entries;
}

} // namespace qdui
