#include "ui/SetupWindow.h"

#include "data/Clock.h"
#include "data/Globals.h"
#include "data/Settings.h"
#include "ui/Autostart.h"
#include "ui/MainMenu.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace qdui {
namespace {

using K = SetupFieldKind;
constexpr auto kCheck = K::Check;
constexpr auto kNumber = K::Number;
constexpr auto kText = K::Text;
constexpr int kBig = 999999;

// clang-format off
const SetupField kFields[] = {
    {"Start Up", "", "StartUpSchedule", kCheck, "Show Schedule at start up", ""},
    {"Start Up", "", "StartUpToDo", kCheck, "Show To Do List at start up", ""},
    {"Start Up", "", "StartUpClipboardSaver", kCheck, "Show Clipboard Manager at start up", ""},
    {"Start Up", "", "StartUpContacts", kCheck, "Show Contacts at start up", ""},
    {"Start Up", "", "FullSchedule", kCheck, "Show full schedule initially (\"All By Date\" tab)", ""},
    {"Start Up", "", "ActiveOnly", kCheck, "Only show active tasks initially", ""},
    {"Start Up", "", "StartUpMinimized", kCheck, "Minimize at start up", ""},
    {"Start Up", "", "StartUpActive", kCheck, "Scheduler active", ""},

    {"General", "", "DateFormat", K::DateFormat, "Display date in format:", ""},
    {"General", "", "NoTray", kCheck, "Do not place in tray when minimized", ""},
    {"General", "", "MaximizeOnRun", kCheck, "If iconized, restore before running a \"run program\" task", ""},
    {"General", "", "MinimizeOnCloseRequest", kCheck, "Minimize to system tray instead of exiting", ""},
    {"General", "", "AltFmt", kCheck, "Use alternate format for list of scheduled tasks", ""},
    {"General", "", "SkipIfDaysPassed", kNumber, "Skip tasks if overdue by", "day(s)", 0, kBig, "SkipIfDaysPassed"},

    {"Messages", "", "UseQDMsg", kCheck, "Use external message program (\"start in new process\")", ""},
    {"Messages", "", "UseModalMessage", kCheck, "Use \"Stay on top\" attribute for message windows", ""},
    {"Messages", "", "RepeatAlarmInterval", kNumber, "Repeat alarms every # seconds:", "", 0, kBig},
    {"Messages", "", "MaxAlarmTime", kNumber, "Maximum alarm time (minutes):", "", 0, kBig},
    {"Messages", "", "SnoozeInterval", kNumber, "Snooze interval (minutes):", "", 0, kBig},

    {"History", "", "HistoryExpires", kNumber, "Removed completed tasks after", "days", -1, kBig},
    {"History", "", "RemoveUncompleted", kCheck, "Also remove uncompleted tasks", ""},
    {"History", "", "LogEvents", kCheck, "Log events to ASCII text file", ""},
    {"History", "", "LogExitCodes", kCheck, "Log exit codes", ""},

    {"Scripting", "", "ScriptingDelay", kNumber, "Send Interval (1/100ths of a second):", "", 10, kBig},
    {"Scripting", "", "BurstSize", kNumber, "Maximum number of characters per send group:", "", 1, 255},
    {"Scripting", "", "SaveScripts", kCheck, "Save script information on completed tasks", ""},
    {"Scripting", "", "TranslateFilenames", kCheck, "Translate \"values\" when starting a program", "", 0, 0,
     "TranslateFilenames"},
    {"Scripting", "", "ExclHidden", kCheck, "Exclude hidden windows in comparisons and lists", ""},
    {"Scripting", "", "NewProc16", kCheck, "Start each 16-bit application in a new process (NT Only)", ""},

    {"Clipboard", "", "MonitorClipboard", kCheck, "Monitor clipboard", ""},
    {"Clipboard", "", "MaxClipboardEntries", kNumber, "Maximum number of entries to retain:", "", 0, kBig},
    {"Clipboard", "", "CM:UseEx", kCheck, "Use external Clipboard Manager", ""},
    {"Clipboard", "", "CM:OnTop", kCheck, "Stay on top (External Clipboard Manager)", ""},

    {"Email", "Email", "SenderName", kText, "Your name:", ""},
    {"Email", "Email", "Sender", kText, "Reply-to address:", ""},
    {"Email", "Email", "Host", kText, "Mail (SMTP) host:", ""},
    {"Email", "Email", "Org", kText, "Organization:", ""},
    {"Email", "Email", "MailUser", kText, "Login name (blank: none):", ""},
    {"Email", "Email", "MailSecurity", kText, "STARTTLS (blank: when offered, Require, Off):", ""},
    {"Email", "Email", "MailCAFile", kText, "Trusted certificates (file or folder):", ""},
    {"Email", "News", "NSenderName", kText, "Your name:", ""},
    {"Email", "News", "NSender", kText, "Reply-to address:", ""},
    {"Email", "News", "NHost", kText, "News host:", ""},
    {"Email", "News", "NOrg", kText, "Organization:", ""},

    {"Security", "", "SysLock", kCheck, "System Locked", ""},
    {"Security", "", "SysPwd", K::Password, "Password to lock/unlock system", ""},
};
// clang-format on

const char* const kTabs[] = {"Start Up",  "General",   "Messages", "History",
                             "Scripting", "Clipboard", "Email",    "Security"};

QString q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The label of a field as an accessible name: without the colon at its end.
QString accessible(const SetupField& f) {
    QString name = q(f.label);
    if (name.endsWith(':')) name.chop(1);
    if (*f.suffix) name += " (" + q(f.suffix) + ")";
    return name;
}

constexpr int kPasswordMax = 128;

} // namespace

std::span<const SetupField> setupFields() {
    return kFields;
}

std::span<const char* const> setupTabs() {
    return kTabs;
}

SetupWindow::SetupWindow(SetupContext context, QWidget* parent) : QDialog(parent), ctx_(std::move(context)) {
    setObjectName("Setup");
    setWindowTitle("Setup");
    setModal(true);
    build();
    load();
}

SetupWindow::~SetupWindow() = default;

void SetupWindow::build() {
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("SetupTabs");
    // Every tab's name in sight: the window is as wide as its tab bar.
    tabs_->setUsesScrollButtons(false);
    layout->addWidget(tabs_);

    std::map<std::string, QGridLayout*> grids; // "tab" or "tab/group"
    std::map<std::string, QVBoxLayout*> pages;
    for (const char* tab : kTabs) {
        auto* page = new QWidget(tabs_);
        page->setObjectName(QStringLiteral("Tab ") + tab);
        page->setAccessibleName(tab);
        auto* v = new QVBoxLayout(page);
        pages[tab] = v;
        tabs_->addTab(page, tab);
    }
    auto gridFor = [&](const SetupField& f) {
        const std::string name = std::string(f.tab) + "/" + f.group;
        if (auto it = grids.find(name); it != grids.end()) return it->second;
        QVBoxLayout* page = pages[f.tab];
        QGridLayout* grid = nullptr;
        if (*f.group) {
            auto* box = new QGroupBox(f.group, page->parentWidget());
            box->setAccessibleName(f.group);
            grid = new QGridLayout(box);
            page->addWidget(box);
        } else {
            grid = new QGridLayout();
            page->addLayout(grid);
        }
        grid->setColumnStretch(1, 1);
        grids[name] = grid;
        return grid;
    };

    for (const SetupField& f : kFields) {
        QGridLayout* grid = gridFor(f);
        QWidget* page = pages[f.tab]->parentWidget();
        const int row = grid->rowCount();
        // The editor with what follows it (unit, info button) on one line.
        auto* line = new QHBoxLayout();
        line->setContentsMargins(0, 0, 0, 0);
        QWidget* editor = nullptr;
        QLabel* label = nullptr;
        switch (f.kind) {
        case K::Check:
            editor = new QCheckBox(f.label, page);
            break;
        case K::Number: {
            auto* spin = new QSpinBox(page);
            spin->setRange(f.min, f.max);
            spin->setMinimumWidth(90);
            editor = spin;
            break;
        }
        case K::Text: {
            auto* text = new QLineEdit(page);
            if (const qd::SettingDef* def = qd::findSettingDef(f.key); def && def->width > 0)
                text->setMaxLength(def->width);
            text->setMinimumWidth(260);
            editor = text;
            break;
        }
        case K::DateFormat: {
            auto* combo = new QComboBox(page);
            for (const qd::DateFormatChoice& c : qd::dateFormatChoices())
                combo->addItem(q(c.shown), q(c.picture));
            editor = combo;
            break;
        }
        case K::Password: {
            auto* password = new QLineEdit(page);
            password->setEchoMode(QLineEdit::Password);
            password->setMaxLength(kPasswordMax);
            password->setMinimumWidth(200);
            confirm_ = new QLineEdit(page);
            confirm_->setObjectName("ConfirmPassword");
            confirm_->setAccessibleName("Confirm password");
            confirm_->setEchoMode(QLineEdit::Password);
            confirm_->setMaxLength(kPasswordMax);
            auto* confirmLabel = new QLabel("Confirm password:", page);
            confirmLabel->setBuddy(confirm_);
            grid->addWidget(confirmLabel, row + 1, 0);
            grid->addWidget(confirm_, row + 1, 1);
            editor = password;
            break;
        }
        }
        line->addWidget(editor, f.kind == K::Text || f.kind == K::Password ? 1 : 0);
        if (f.kind != K::Check) {
            label = new QLabel(f.label, page);
            label->setBuddy(editor);
            grid->addWidget(label, row, 0);
        }
        if (*f.suffix) line->addWidget(new QLabel(f.suffix, page));
        editor->setObjectName(f.key);
        editor->setAccessibleName(accessible(f));
        fields_[f.key] = editor;
        if (*f.info) {
            auto* info = new QToolButton(page);
            info->setText("?");
            info->setObjectName(QStringLiteral("Info ") + f.key);
            info->setAccessibleName("Info: " + accessible(f));
            info->setToolTip("More about this setting");
            line->addWidget(info);
            connect(info, &QToolButton::clicked, this, [this, key = std::string(f.info)] { showInfo(key); });
        }
        if (f.kind != K::Text && f.kind != K::Password) line->addStretch(1);
        if (label)
            grid->addLayout(line, row, 1);
        else
            grid->addLayout(line, row, 0, 1, 2);
    }

    // Beyond the settings of the table: a desktop entry that starts the program at login.
    if (!ctx_.autostartFolder.empty()) {
        QVBoxLayout* page = pages["Start Up"];
        startAtLogin_ = new QCheckBox("Start Quandrel at login", page->parentWidget());
        startAtLogin_->setObjectName("StartAtLogin");
        startAtLogin_->setAccessibleName("Start Quandrel at login");
        startAtLogin_->setToolTip(QString::fromStdString(autostartFile(ctx_.autostartFolder).string()));
        page->addWidget(startAtLogin_);
    }

    // The SMTP password is no setting: it goes to the keyring (or the private
    // file without one) and is never shown again.
    if (ctx_.keepMailPassword) {
        QGridLayout* grid = grids["Email/Email"];
        QWidget* page = pages["Email"]->parentWidget();
        mailPassword_ = new QLineEdit(page);
        mailPassword_->setObjectName("MailPassword");
        mailPassword_->setAccessibleName("Login password");
        mailPassword_->setEchoMode(QLineEdit::Password);
        mailPassword_->setMaxLength(kPasswordMax);
        mailPassword_->setPlaceholderText("(unchanged)");
        auto* label = new QLabel("Login password:", page);
        label->setBuddy(mailPassword_);
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0);
        grid->addWidget(mailPassword_, row, 1);
    }

    // The test mail goes out with the values as they stand in the window.
    {
        QVBoxLayout* page = pages["Email"];
        auto* test = new QPushButton("&Test Settings", page->parentWidget());
        test->setObjectName("TestSettings");
        test->setAccessibleName("Test Settings");
        if (ctx_.testMail) {
            test->setToolTip("Send a test e-mail to your own address");
            connect(test, &QPushButton::clicked, this, [this] {
                qd::ProgramSettings edited = *ctx_.settings;
                collect(edited);
                ctx_.testMail(edited, mailPassword_ ? mailPassword_->text().toStdString() : std::string());
            });
        } else {
            test->setEnabled(false);
            test->setToolTip(kNotAvailableTip);
        }
        auto* row = new QHBoxLayout();
        row->addStretch(1);
        row->addWidget(test);
        page->addLayout(row);
    }
    for (auto& [tab, page] : pages)
        page->addStretch(1);

    auto* sysLock = qobject_cast<QCheckBox*>(fields_.at("SysLock"));
    connect(sysLock, &QCheckBox::toggled, this, &SetupWindow::lockToggled);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton("&OK", QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton("&Cancel", QDialogButtonBox::RejectRole);
    QPushButton* variables = buttons->addButton("&Variables...", QDialogButtonBox::ActionRole);
    ok->setObjectName("OK");
    ok->setAccessibleName("OK");
    cancel->setObjectName("Cancel");
    cancel->setAccessibleName("Cancel");
    variables->setObjectName("Variables");
    variables->setAccessibleName("Variables");
    variables->setToolTip("Show the program's variables (settings view)");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &SetupWindow::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(variables, &QPushButton::clicked, this, &SetupWindow::showVariables);
    layout->addWidget(buttons);
}

void SetupWindow::load() {
    const qd::ProgramSettings& s = *ctx_.settings;
    for (const SetupField& f : kFields) {
        const qd::SettingDef* def = qd::findSettingDef(f.key);
        QWidget* w = fields_.at(f.key);
        if (!def) continue;
        if (const auto* b = std::get_if<bool qd::ProgramSettings::*>(&def->member)) {
            if (auto* box = qobject_cast<QCheckBox*>(w)) box->setChecked(s.*(*b));
        } else if (const auto* n = std::get_if<std::int32_t qd::ProgramSettings::*>(&def->member)) {
            if (auto* spin = qobject_cast<QSpinBox*>(w)) spin->setValue(s.*(*n));
        } else if (const auto* t = std::get_if<std::string qd::ProgramSettings::*>(&def->member)) {
            const std::string& value = s.*(*t);
            if (auto* combo = qobject_cast<QComboBox*>(w)) {
                originalDateFormat_ = value;
                const qd::DateFormatChoice* choice = qd::findDateFormatChoice(value);
                if (!choice) {
                    // A picture the list does not offer is shown as it is and kept.
                    combo->addItem(q(value), q(value));
                    combo->setCurrentIndex(combo->count() - 1);
                } else {
                    const int i = combo->findData(q(choice->picture));
                    // The stored spelling stays, so an unchanged choice is no change.
                    combo->setItemData(i, q(value));
                    combo->setCurrentIndex(i);
                }
            } else if (auto* line = qobject_cast<QLineEdit*>(w)) {
                line->setText(q(value));
            }
        }
    }
    // The stored password (its hash) stands in both fields: left alone, they
    // match and the password is kept; emptied, the password is removed.
    confirm_->setText(q(s.SysPwd));
    lockToggled(s.SysLock);
    if (startAtLogin_) startAtLogin_->setChecked(autostartEnabled(ctx_.autostartFolder));
}

void SetupWindow::lockToggled(bool locked) {
    fields_.at("SysPwd")->setEnabled(locked);
    confirm_->setEnabled(locked);
}

void SetupWindow::collect(qd::ProgramSettings& edited) const {
    for (const SetupField& f : kFields) {
        const qd::SettingDef* def = qd::findSettingDef(f.key);
        QWidget* w = fields_.at(f.key);
        if (!def) continue;
        if (const auto* b = std::get_if<bool qd::ProgramSettings::*>(&def->member)) {
            if (auto* box = qobject_cast<QCheckBox*>(w)) edited.*(*b) = box->isChecked();
        } else if (const auto* n = std::get_if<std::int32_t qd::ProgramSettings::*>(&def->member)) {
            if (auto* spin = qobject_cast<QSpinBox*>(w)) edited.*(*n) = spin->value();
        } else if (const auto* t = std::get_if<std::string qd::ProgramSettings::*>(&def->member)) {
            if (auto* combo = qobject_cast<QComboBox*>(w))
                edited.*(*t) = combo->currentData().toString().toStdString();
            else if (auto* line = qobject_cast<QLineEdit*>(w))
                edited.*(*t) = line->text().toStdString();
        }
    }
}

void SetupWindow::accept() {
    qd::ProgramSettings edited = *ctx_.settings;
    collect(edited);
    qd::SettingsStore store(*ctx_.dataSet);
    if (qd::acceptOptions(store, *ctx_.settings, edited, confirm_->text().toStdString(), *ctx_.ui,
                          ctx_.log) != qd::OptionsResult::Saved)
        return;
    saved_ = true;
    if (mailPassword_ && !mailPassword_->text().isEmpty()) {
        std::string note;
        const bool kept = ctx_.keepMailPassword(mailPassword_->text().toStdString(), note);
        mailPassword_->clear();
        if (!kept)
            ctx_.ui->message("Error", "The login password was not kept: " + note, qd::MessageIcon::Hand);
        else if (!note.empty())
            ctx_.ui->message("Email", note, qd::MessageIcon::Information);
    }
    if (startAtLogin_ && startAtLogin_->isChecked() != autostartEnabled(ctx_.autostartFolder)) {
        std::string error;
        if (!setAutostart(ctx_.autostartFolder, startAtLogin_->isChecked(), ctx_.program, ctx_.dataFolder,
                          error))
            ctx_.ui->message("Error", error, qd::MessageIcon::Hand);
    }
    if (ctx_.saved) ctx_.saved();
    QDialog::accept();
}

void SetupWindow::showInfo(const std::string& key) {
    const qd::Notice note =
        key == "TranslateFilenames" ? qd::translateFilenamesNote() : qd::skipIfDaysPassedNote();
    ctx_.ui->message(note.title, note.text, qd::MessageIcon::Information);
}

void SetupWindow::showVariables() {
    if (!view_) {
        auto variables = ctx_.variables;
        if (!variables) variables = [s = ctx_.settings] { return programVariables(*s); };
        view_ = new SettingsView(std::move(variables), ctx_.clock ? *ctx_.clock : qd::systemClock(), this);
    }
    view_->show();
    view_->raise();
}

QWidget* SetupWindow::field(const std::string& key) const {
    const auto it = fields_.find(key);
    return it == fields_.end() ? nullptr : it->second;
}

bool openSetup(const SetupContext& context) {
    if (context.mayOpen && !context.mayOpen()) return false;
    if (auto warning = qd::optionsOpeningWarning(context.settings->CommandLine))
        context.ui->message(warning->title, warning->text, qd::MessageIcon::Exclamation);
    SetupWindow window(context, context.ui->parentWindow());
    context.ui->runDialog(window);
    return window.saved();
}

} // namespace qdui
