// The list of qdctl commands. A new command: declare it in Context.h (or a header
// of its own) and add a line here.
#include "ConfigCommands.h"
#include "Context.h"
#include "HotKeyCommands.h"
#include "MailCommands.h"
#include "RunCommand.h"
#include "ScheduleCommands.h"
#include "ScriptCommands.h"

namespace qdctl {

const std::vector<Command>& commands() {
    static const std::vector<Command> list = {
        {"init", "  init                                      create or open the data set\n", cmdInit, true},
        {"table",
         "  table list                                the tables with their files, keys and record counts\n",
         cmdTable, true},
        {"rec",
         "  rec add TABLE FIELD=VALUE...              add a record; prints its key\n"
         "  rec get TABLE KEYFIELD=VALUE...           show one record\n"
         "  rec set TABLE KEYFIELD=VALUE... -- FIELD=VALUE...\n"
         "                                            change one record\n"
         "  rec del TABLE KEYFIELD=VALUE...           delete one record with its related records\n"
         "  rec list TABLE [--key KEY] [--from FIELD=VALUE...] [--limit N]\n"
         "                                            records in key order\n",
         cmdRec, true},
        {"config",
         "  config get KEY                            a setting's value as the program uses it\n"
         "  config set KEY VALUE                      change a setting (flags 1/0, whole numbers, texts)\n"
         "  config list                               every setting, where its value comes from, and the "
         "value\n",
         cmdConfig, true},
        {"log",
         "  log show [--tail N]                       the event log's lines (the last N), oldest first\n",
         cmdLog, true},
        {"next",
         "  next (ID | --task FIELD=VALUE...) --from DATE TIME [--count N]\n"
         "                                            the task's next occurrences, never saved: one line\n"
         "                                            per call with SCH:Date SCH:Time SCH:Completed "
         "SCH:Every\n",
         cmdNext, true},
        {"prev",
         "  prev (ID | --task FIELD=VALUE...) --from DATE TIME [--count N]\n"
         "                                            the same backwards\n",
         cmdPrev, true},
        {"matches", "  matches (ID | --task FIELD=VALUE...) DATE whether the task's rule can fall on DATE\n",
         cmdMatches, true},
        {"describe", "  describe (ID | --task FIELD=VALUE...)     the one-line text of the task's rule\n",
         cmdDescribe, true},
        {"easter", "  easter YEAR                               the date of Easter Sunday\n", cmdEaster,
         false},
        {"exceptions",
         "  exceptions apply ID                       apply the task's exceptions and save it; prints\n"
         "                                            the task and any one-time copy made\n",
         cmdExceptions, true},
        {"holidays",
         "  holidays roll                             load the default holidays once, move past ones on\n"
         "  holidays list                             the holidays in date order\n",
         cmdHolidays, true},
        {"workfile",
         "  workfile --from DATE --to DATE            the predicted occurrences of the tasks dated in the\n"
         "                                            range (a work file, removed afterwards)\n",
         cmdWorkfile, true},
        {"reschedule",
         "  reschedule --at DATE TIME                 move every task to its first occurrence more than\n"
         "                                            a minute after that moment (which must be in the "
         "future)\n",
         cmdReschedule, true},
        {"history",
         "  history remove [--expires N] [--remove-uncompleted] [--save-scripts]\n"
         "                                            the daily removal of old history and holiday roll,\n"
         "                                            with the data set's settings (HistoryExpires, ...)\n"
         "                                            unless the options give them\n",
         cmdHistory, true},
        {"run",
         "  run [--ticks N | --until DATE TIME] [/I] [User=NAME]\n"
         "                                            the resident dispatcher without a window: performs\n"
         "                                            due tasks and scripts, prints events; with --now on a\n"
         "                                            simulated clock (one second per tick, no sleeping)\n",
         cmdRun, true},
        {"script",
         "  script show ID                            the task's script as text\n"
         "  script set ID FILE|-                      replace the task's script by a text (- reads stdin)\n"
         "  script export ID FILE                     write the script file (.qds)\n"
         "  script import ID FILE                     add the steps of a script file\n"
         "  script run ID [--ticks N]                 run the task's script by hand, one step per tick\n"
         "  script run-file FILE [--ticks N]          run a script file by hand\n",
         cmdScript, true},
        {"vars", "  vars                                      the variables the last script run left\n",
         cmdVars, true},
        {"protect",
         "  protect                                   protect the data set with a passphrase (asked on\n"
         "                                            the terminal, or one line from --passphrase-fd N)\n"
         "                                            and keep it in the desktop keyring; a backup first\n",
         cmdProtect, true},
        {"unprotect",
         "  unprotect                                 back to the owner password; a backup first\n",
         cmdUnprotect, true},
        {"template",
         "  template list                             the script templates\n"
         "  template copy TEMPLATE_ID TASK_ID [--answer PROMPT=VALUE...]\n"
         "                                            add a template's steps to a task, prompts answered\n",
         cmdTemplate, true},
        {"mail",
         "  mail send MESSAGE_ID                      send a stored message (e-mail, news or mass mailing)\n"
         "  mail test                                 send the test mail to your own address\n"
         "  mail password                             keep the SMTP login password in the desktop keyring\n"
         "                                            (without one: a file only you can read)\n"
         "                                            (typed, or one line from --passphrase-fd N)\n",
         cmdMail, true},
        {"contacts",
         "  contacts list [--category NAME]           the contacts: number, names, address, category\n"
         "  contacts copy ID                          the contact as the text copied to the clipboard\n"
         "  contacts tasks ID                         the tasks the contact is linked to\n"
         "  contacts link|unlink ID TASK              link the contact to a task, or remove the link\n",
         cmdContacts, true},
        {"hotkeys",
         "  hotkeys list                              the hot keys; registered or refused while qd runs\n",
         cmdHotkeys, true},
        {"clip",
         "  clip list [--limit N]                     the saved clipboard entries, newest first\n"
         "  clip add TEXT                             store a text as the clipboard saver would\n",
         cmdClip, true},
    };
    return list;
}

} // namespace qdctl
