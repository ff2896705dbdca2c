// The options window "Setup", the "Password Required" check before it, the
// login start entry and the settings view, on a real data set on disk.
#include "UiTestSupport.h"

#include "data/LockPassword.h"
#include "data/Settings.h"
#include "data/TableDefs.h"
#include "ui/Autostart.h"
#include "ui/SettingsView.h"
#include "ui/SetupWindow.h"
#include "ui/SystemLock.h"
#include "ui/SystemLockPrompt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <sys/stat.h>

#include <cstdlib>
#include <map>

using namespace qduitest;

class SetupTest : public QObject {
    Q_OBJECT
private slots:
    void everyTabAndFieldIsThereWithItsPrompt();
    void mismatchedPasswordsAreRefusedAndNothingIsWritten();
    void okWritesEveryKeyAndTheValuesSurviveAReopen();
    void cancelWritesNothing();
    void dateFormatNoticeOnlyWhenItChanged();
    void inactiveSwitchWarnsUnlessConfigIsGiven();
    void passwordFieldsFollowTheLockAndInfoButtonsShowTheirNotes();
    void lockDecisionWithoutWindows();
    void passwordRequiredDeniesAcceptsAndUnlocksForTheSession();
    void lockedSetupStaysClosedWithoutThePassword();
    void autostartEntryIsWrittenQuotedAndRemoved();
    void setupsLoginBoxWritesAndRemovesTheEntry();
    void settingsViewListsTheVariablesAndFollowsTheClock();
};

namespace {

using Stored = std::map<std::string, std::string>;

// Every row of the Configuration table as it is on disk.
Stored configuration(qd::DataSet& ds) {
    Stored out;
    qd::Table<qd::ConfigurationRecord> t(ds, qd::tables::Configuration());
    if (t.open() != qd::Level::Benign) return out;
    t.setOrder(0);
    while (t.next() == qd::Level::Benign)
        out[qd::text::trimmedRight(t.rec.DataType)] = qd::text::trimmedRight(t.rec.DataValue);
    return out;
}

// Answers the dialogs of a test: Setup and "Password Required" by the test's
// own steps, every message box with OK (its title and text noted).
struct Answers {
    std::function<void(qdui::SetupWindow&)> setup;
    std::function<void(qdui::SystemLockPrompt&)> prompt;
    QStringList seen;
    int setups = 0;
    int prompts = 0;
};

// A dialog the test's steps left open is closed with Cancel.
void closeIfOpen(const QPointer<QDialog>& dialog) {
    if (QDialog* open = dialog.data(); open != nullptr && open->isVisible()) open->reject();
}

void answer(qdui::QtUserInterface& ui, Answers& a) {
    ui.setDialogHook([&a](QDialog& d) {
        QPointer<QDialog> dialog(&d);
        if (auto* setup = qobject_cast<qdui::SetupWindow*>(&d)) {
            ++a.setups;
            QTimer::singleShot(0, [&a, dialog, setup] {
                if (!dialog) return;
                if (a.setup) a.setup(*setup);
                closeIfOpen(dialog);
            });
            return;
        }
        if (auto* prompt = qobject_cast<qdui::SystemLockPrompt*>(&d)) {
            ++a.prompts;
            QTimer::singleShot(0, [&a, dialog, prompt] {
                if (dialog && a.prompt) a.prompt(*prompt);
                closeIfOpen(dialog);
            });
            return;
        }
        const auto* box = qobject_cast<QMessageBox*>(&d);
        a.seen << d.windowTitle() + ": " + (box ? box->text() : QString());
        QTimer::singleShot(0, [dialog] {
            if (QDialog* open = dialog.data(); open != nullptr && !pressButton(*open, "OK")) open->reject();
        });
    });
}

qdui::SetupContext contextOf(Engine& e) {
    qdui::SetupContext c;
    c.dataSet = &e.ds;
    c.settings = &e.runtime->settings();
    c.ui = &e.ui;
    c.clock = &e.clock;
    c.log = &e.runtime->log();
    return c;
}

template <class W> W* fieldOf(qdui::SetupWindow& w, const std::string& key) {
    W* f = qobject_cast<W*>(w.field(key));
    if (!f) qFatal("no field %s", key.c_str());
    return f;
}

void clickOk(qdui::SetupWindow& w) {
    pressButton(w, "OK");
}

const QString kMismatch = "Error: The system lock passwords do not match.";
const QString kDateNotice =
    "Information: Date format changes will not affect currently open windows.  You can close and re-open "
    "windows, or exit and restart Quandrel to view information using the new date format.";

} // namespace

void SetupTest::everyTabAndFieldIsThereWithItsPrompt() {
    Engine e;
    QVERIFY(e.runtime->open());
    qdui::SetupWindow w(contextOf(e));
    QCOMPARE(w.windowTitle(), QString("Setup"));
    QStringList tabs;
    for (int i = 0; i < w.tabs()->count(); ++i)
        tabs << w.tabs()->tabText(i);
    QCOMPARE(tabs, (QStringList{"Start Up", "General", "Messages", "History", "Scripting", "Clipboard",
                                "Email", "Security"}));
    // Every key a person can change is on the window, with a name a screen reader says.
    for (const qdui::SetupField& f : qdui::setupFields()) {
        QWidget* editor = w.field(f.key);
        QVERIFY2(editor, f.key);
        QVERIFY2(!editor->accessibleName().isEmpty(), f.key);
        QVERIFY2(qd::findSettingDef(f.key), f.key);
        if (f.kind == qdui::SetupFieldKind::Check)
            QCOMPARE(qobject_cast<QCheckBox*>(editor)->text(), QString::fromUtf8(f.label));
    }
    QCOMPARE(qobject_cast<QCheckBox*>(w.field("StartUpSchedule"))->text(),
             QString("Show Schedule at start up"));
    auto* dates = fieldOf<QComboBox>(w, "DateFormat");
    QCOMPARE(dates->count(), 15);
    QCOMPARE(dates->itemText(0), QString("Windows Default"));
    QCOMPARE(dates->itemData(14).toString(), QString("n4b"));
    QCOMPARE(dates->currentText(), QString("OCT 31,1959")); // the default "d3"
    auto* test = w.findChild<QPushButton*>("TestSettings");
    QVERIFY(test && !test->isEnabled() && !test->toolTip().isEmpty());
    QCOMPARE(test->text(), QString("&Test Settings"));
    // Every control of the window has a name a screen reader says.
    for (QWidget* child : w.findChildren<QWidget*>()) {
        const bool control = child->inherits("QAbstractButton") || child->inherits("QLineEdit") ||
                             child->inherits("QAbstractSpinBox") || child->inherits("QComboBox");
        const QObject* owner = child->parent();
        const bool inner = owner && (owner->inherits("QAbstractSpinBox") || owner->inherits("QComboBox") ||
                                     owner->inherits("QTabBar"));
        if (control && !inner)
            QVERIFY2(!child->accessibleName().isEmpty(),
                     qPrintable(child->objectName() + " " + child->metaObject()->className()));
    }
}

void SetupTest::mismatchedPasswordsAreRefusedAndNothingIsWritten() {
    Engine e;
    QVERIFY(e.runtime->open());
    const Stored before = configuration(e.ds);
    const qd::ProgramSettings memoryBefore = e.runtime->settings();
    Answers a;
    bool stayedOpen = false;
    a.setup = [&](qdui::SetupWindow& w) {
        fieldOf<QCheckBox>(w, "SysLock")->setChecked(true);
        fieldOf<QLineEdit>(w, "SysPwd")->setText("alpha");
        w.confirmPassword()->setText("beta");
        fieldOf<QSpinBox>(w, "MaxClipboardEntries")->setValue(80);
        fieldOf<QCheckBox>(w, "StartUpSchedule")->setChecked(false);
        clickOk(w);
        stayedOpen = w.isVisible() && !w.saved();
    };
    answer(e.ui, a);
    QVERIFY(!qdui::openSetup(contextOf(e)));
    QVERIFY(stayedOpen);
    QCOMPARE(a.seen, QStringList{kMismatch});
    QCOMPARE(configuration(e.ds), before);
    QCOMPARE(e.runtime->settings().MaxClipboardEntries, memoryBefore.MaxClipboardEntries);
    QVERIFY(!e.runtime->settings().SysLock);
}

void SetupTest::okWritesEveryKeyAndTheValuesSurviveAReopen() {
    Engine e;
    QVERIFY(e.runtime->open());
    // A value different from what the window shows, for every field.
    std::map<std::string, std::string> expected; // key -> stored text
    int savedCalls = 0;
    Answers a;
    a.setup = [&](qdui::SetupWindow& w) {
        int n = 0;
        for (const qdui::SetupField& f : qdui::setupFields()) {
            ++n;
            const qd::SettingDef* def = qd::findSettingDef(f.key);
            switch (f.kind) {
            case qdui::SetupFieldKind::Check: {
                auto* box = fieldOf<QCheckBox>(w, f.key);
                box->setChecked(!box->isChecked());
                expected[f.key] = (box->isChecked() != def->inverted) ? "1" : "0";
                break;
            }
            case qdui::SetupFieldKind::Number: {
                auto* spin = fieldOf<QSpinBox>(w, f.key);
                const int v = std::string(f.key) == "MaxClipboardEntries" ? 80 : std::min(f.max, 20 + n);
                spin->setValue(v);
                expected[f.key] = std::to_string(v);
                break;
            }
            case qdui::SetupFieldKind::Text: {
                const std::string v = "v" + std::to_string(n) + "@example.org";
                fieldOf<QLineEdit>(w, f.key)->setText(QString::fromStdString(v));
                expected[f.key] = v;
                break;
            }
            case qdui::SetupFieldKind::DateFormat: {
                auto* combo = fieldOf<QComboBox>(w, f.key);
                combo->setCurrentIndex(combo->findText("31/10/1959"));
                expected[f.key] = "d6";
                break;
            }
            case qdui::SetupFieldKind::Password:
                fieldOf<QLineEdit>(w, f.key)->setText("Open Sesame");
                w.confirmPassword()->setText("Open Sesame");
                break;
            }
        }
        clickOk(w);
        QVERIFY(w.saved());
        QVERIFY(!w.isVisible());
    };
    auto context = contextOf(e);
    context.saved = [&] { ++savedCalls; };
    answer(e.ui, a);
    QVERIFY(qdui::openSetup(context));
    QCOMPARE(savedCalls, 1);
    QCOMPARE(a.seen, QStringList{kDateNotice});

    const Stored stored = configuration(e.ds);
    for (const auto& [key, value] : expected)
        QVERIFY2(
            stored.count(key) && stored.at(key) == value,
            qPrintable(QString::fromStdString(key + " = " + (stored.count(key) ? stored.at(key) : "-"))));
    // Turning "Show Schedule at start up" off stores 1, and the same for "Scheduler active".
    QCOMPARE(stored.at("StartUpSchedule"), std::string("1"));
    QCOMPARE(stored.at("StartUpActive"), std::string("1"));
    // The password is kept only as its hash, which the typed text opens in any letter case.
    QVERIFY(qd::isLockPasswordHash(stored.at("SysPwd")));
    QVERIFY(qd::lockPasswordMatches(stored.at("SysPwd"), "OPEN sesame"));
    // Keys not on the window are written too, with their values unchanged.
    QCOMPARE(stored.at("CM:Mode"), std::string("Normal"));
    QCOMPARE(stored.at("UseWinMessage"), std::string("0"));
    QVERIFY(!stored.count("Version") || !stored.at("Version").empty());

    // The run follows at once.
    QCOMPARE(e.runtime->settings().MaxClipboardEntries, 80);
    QVERIFY(!e.runtime->settings().StartUpActive);
    QCOMPARE(e.runtime->settings().DateFormat, std::string("d6"));

    // A fresh load of the data set reads the same values back.
    qd::SettingsStore store(e.ds);
    qd::ProgramSettings fresh;
    qd::loadAllSettings(store, fresh, qd::SettingsEnvironment{});
    QCOMPARE(fresh.MaxClipboardEntries, 80);
    QVERIFY(!fresh.StartUpSchedule);

    // Reopened, the window shows them, and OK with nothing changed keeps the
    // password and shows no date-format notice.
    a.seen.clear();
    int shown = -1;
    QString dateShown;
    a.setup = [&](qdui::SetupWindow& w) {
        shown = fieldOf<QSpinBox>(w, "MaxClipboardEntries")->value();
        dateShown = fieldOf<QComboBox>(w, "DateFormat")->currentText();
        clickOk(w);
    };
    QVERIFY(qdui::openSetup(contextOf(e)));
    QCOMPARE(shown, 80);
    QCOMPARE(dateShown, QString("31/10/1959"));
    QCOMPARE(a.seen, QStringList{});
    QCOMPARE(configuration(e.ds).at("SysPwd"), stored.at("SysPwd"));
}

void SetupTest::cancelWritesNothing() {
    Engine e;
    QVERIFY(e.runtime->open());
    const Stored before = configuration(e.ds);
    Answers a;
    a.setup = [&](qdui::SetupWindow& w) {
        fieldOf<QSpinBox>(w, "SnoozeInterval")->setValue(25);
        fieldOf<QCheckBox>(w, "NoTray")->setChecked(true);
        fieldOf<QComboBox>(w, "DateFormat")->setCurrentIndex(0);
        pressButton(w, "Cancel");
    };
    answer(e.ui, a);
    QVERIFY(!qdui::openSetup(contextOf(e)));
    QCOMPARE(a.setups, 1);
    QCOMPARE(configuration(e.ds), before);
    QCOMPARE(e.runtime->settings().SnoozeInterval, 0);
    QVERIFY(!e.runtime->settings().NoTray);
    QCOMPARE(a.seen, QStringList{});
}

void SetupTest::dateFormatNoticeOnlyWhenItChanged() {
    Engine e;
    QVERIFY(e.runtime->open());
    // A stored picture in another spelling than the list's is no change when left alone.
    e.runtime->settings().DateFormat = "@D3";
    Answers a;
    a.setup = [&](qdui::SetupWindow& w) {
        QCOMPARE(fieldOf<QComboBox>(w, "DateFormat")->currentText(), QString("OCT 31,1959"));
        clickOk(w);
    };
    answer(e.ui, a);
    QVERIFY(qdui::openSetup(contextOf(e)));
    QCOMPARE(a.seen, QStringList{});
    QCOMPARE(configuration(e.ds).at("DateFormat"), std::string("@D3"));

    // A picture the list does not offer is shown and kept.
    e.runtime->settings().DateFormat = "@d9";
    a.setup = [&](qdui::SetupWindow& w) {
        QCOMPARE(fieldOf<QComboBox>(w, "DateFormat")->currentText(), QString("@d9"));
        clickOk(w);
    };
    QVERIFY(qdui::openSetup(contextOf(e)));
    QCOMPARE(a.seen, QStringList{});
    QCOMPARE(configuration(e.ds).at("DateFormat"), std::string("@d9"));

    a.setup = [&](qdui::SetupWindow& w) {
        auto* combo = fieldOf<QComboBox>(w, "DateFormat");
        combo->setCurrentIndex(combo->findText("Year Only"));
        clickOk(w);
    };
    QVERIFY(qdui::openSetup(contextOf(e)));
    QCOMPARE(a.seen, QStringList{kDateNotice});
    QCOMPARE(configuration(e.ds).at("DateFormat"), std::string("n4b"));
}

void SetupTest::inactiveSwitchWarnsUnlessConfigIsGiven() {
    const QString warning =
        "Warning: The task scheduler has been \"inactivated\" using the /I command line parameter.";
    {
        Engine e({"/I"});
        QVERIFY(e.runtime->open());
        Answers a;
        QStringList seenWhenOpen;
        a.setup = [&](qdui::SetupWindow& w) {
            seenWhenOpen = a.seen;
            // "/I" holds the scheduler off for this run only: the box shows it off.
            QVERIFY(!fieldOf<QCheckBox>(w, "StartUpActive")->isChecked());
        };
        answer(e.ui, a);
        qdui::openSetup(contextOf(e));
        QCOMPARE(seenWhenOpen, QStringList{warning});
        // Opening and closing the window leaves the stored value as it was.
        QCOMPARE(configuration(e.ds).at("StartUpActive"), std::string("0"));
    }
    {
        Engine e({"/I", "/CONFIG"});
        QVERIFY(e.runtime->open());
        Answers a;
        answer(e.ui, a);
        qdui::openSetup(contextOf(e));
        QCOMPARE(a.setups, 1);
        QCOMPARE(a.seen, QStringList{});
    }
}

void SetupTest::passwordFieldsFollowTheLockAndInfoButtonsShowTheirNotes() {
    Engine e;
    QVERIFY(e.runtime->open());
    Answers a;
    a.setup = [&](qdui::SetupWindow& w) {
        auto* lock = fieldOf<QCheckBox>(w, "SysLock");
        QVERIFY(!lock->isChecked());
        QVERIFY(!w.field("SysPwd")->isEnabled() && !w.confirmPassword()->isEnabled());
        lock->setChecked(true);
        QVERIFY(w.field("SysPwd")->isEnabled() && w.confirmPassword()->isEnabled());
        QCOMPARE(fieldOf<QLineEdit>(w, "SysPwd")->echoMode(), QLineEdit::Password);
        lock->setChecked(false);
        QVERIFY(!w.field("SysPwd")->isEnabled());
        w.findChild<QToolButton*>("Info SkipIfDaysPassed")->click();
        w.findChild<QToolButton*>("Info TranslateFilenames")->click();
    };
    answer(e.ui, a);
    qdui::openSetup(contextOf(e));
    QCOMPARE(a.seen.size(), 2);
    QVERIFY(
        a.seen[0].startsWith("Note: Tasks will be skipped if the system date is greater than the task date"));
    QVERIFY(a.seen[1].startsWith("Info: This applies to starting programs from within scripting."));
}

void SetupTest::lockDecisionWithoutWindows() {
    qd::ProgramSettings s;
    QVERIFY(!qdui::systemLockNeedsPassword(s, false));
    s.SysLock = true;
    QVERIFY(qdui::systemLockNeedsPassword(s, false));
    QVERIFY(!qdui::systemLockNeedsPassword(s, true));
    s.SysPwd = qd::hashLockPassword("Tulip");
    QCOMPARE(qdui::tryUnlock(s, "tulip", false), qdui::UnlockOutcome::Passed);
    QCOMPARE(qdui::tryUnlock(s, "TULIP", true), qdui::UnlockOutcome::UnlockedForSession);
    QCOMPARE(qdui::tryUnlock(s, "tulips", true), qdui::UnlockOutcome::Denied);
    QCOMPARE(qdui::tryUnlock(s, "", false), qdui::UnlockOutcome::Denied);
    // A plain password of an older data set is compared the same way.
    s.SysPwd = "Rose";
    QCOMPARE(qdui::tryUnlock(s, "rOSE", false), qdui::UnlockOutcome::Passed);
    QCOMPARE(qdui::tryUnlock(s, "Ros", false), qdui::UnlockOutcome::Denied);
}

void SetupTest::passwordRequiredDeniesAcceptsAndUnlocksForTheSession() {
    Engine e;
    QVERIFY(e.runtime->open());
    qd::ProgramSettings& s = e.runtime->settings();
    qd::Dispatcher& d = e.runtime->dispatcher();
    Answers a;
    answer(e.ui, a);

    // Not locked: no window at all.
    QVERIFY(qdui::systemLockPrompt(e.ui, s, d));
    QCOMPARE(a.prompts, 0);

    s.SysLock = true;
    s.SysPwd = qd::hashLockPassword("Marmalade");
    a.prompt = [](qdui::SystemLockPrompt& p) {
        QCOMPARE(p.windowTitle(), QString("Password Required"));
        auto* field = p.findChild<QLineEdit*>("SystemPassword");
        QCOMPARE(field->maxLength(), 128);
        QCOMPARE(field->echoMode(), QLineEdit::Password);
        field->setText("marmelade");
        pressButton(p, "OK");
    };
    QVERIFY(!qdui::systemLockPrompt(e.ui, s, d));
    QCOMPARE(a.seen, QStringList{"Access Denied: The password you have entered is incorrect."});
    QVERIFY(!d.unlocked());

    a.seen.clear();
    a.prompt = [](qdui::SystemLockPrompt&) {}; // closed with Cancel
    QVERIFY(!qdui::systemLockPrompt(e.ui, s, d));
    QCOMPARE(a.seen, QStringList{});

    // Right password in other letters, once: passes, the next window asks again.
    a.prompt = [](qdui::SystemLockPrompt& p) {
        p.findChild<QLineEdit*>("SystemPassword")->setText("MARMALADE");
        pressButton(p, "OK");
    };
    const int before = a.prompts;
    QVERIFY(qdui::systemLockPrompt(e.ui, s, d));
    QVERIFY(!d.unlocked());
    QVERIFY(qdui::systemLockPrompt(e.ui, s, d));
    QCOMPARE(a.prompts, before + 2);

    // Unlocked for the session: the title says so and no window asks again.
    a.prompt = [](qdui::SystemLockPrompt& p) {
        p.findChild<QLineEdit*>("SystemPassword")->setText("marmalade");
        p.findChild<QCheckBox*>("UnlockForSession")->setChecked(true);
        pressButton(p, "OK");
    };
    bool told = false;
    QVERIFY(qdui::systemLockPrompt(e.ui, s, d, [&] { told = true; }));
    QVERIFY(told && d.unlocked());
    e.frame->show(); // a hidden or minimised frame locks the program again
    e.runtime->tick();
    QVERIFY(QString::fromStdString(e.state().title).endsWith(" (Unlocked)"));
    const int prompts = a.prompts;
    QVERIFY(qdui::systemLockPrompt(e.ui, s, d));
    QCOMPARE(a.prompts, prompts);
}

void SetupTest::lockedSetupStaysClosedWithoutThePassword() {
    Engine e;
    QVERIFY(e.runtime->open());
    e.runtime->settings().SysLock = true;
    e.runtime->settings().SysPwd = qd::hashLockPassword("pw");
    Answers a;
    a.prompt = [](qdui::SystemLockPrompt& p) {
        p.findChild<QLineEdit*>("SystemPassword")->setText("wrong");
        pressButton(p, "OK");
    };
    answer(e.ui, a);
    auto context = contextOf(e);
    context.mayOpen = [&] {
        return qdui::systemLockPrompt(e.ui, e.runtime->settings(), e.runtime->dispatcher());
    };
    QVERIFY(!qdui::openSetup(context));
    QCOMPARE(a.setups, 0);
    a.prompt = [](qdui::SystemLockPrompt& p) {
        p.findChild<QLineEdit*>("SystemPassword")->setText("PW");
        pressButton(p, "OK");
    };
    a.setup = [](qdui::SetupWindow& w) {
        // The stored hash stands in both fields, so OK keeps the password.
        clickOk(w);
    };
    const std::string hash = e.runtime->settings().SysPwd;
    QVERIFY(qdui::openSetup(context));
    QCOMPARE(a.setups, 1);
    QCOMPARE(configuration(e.ds).at("SysPwd"), hash);
    QCOMPARE(configuration(e.ds).at("SysLock"), std::string("1"));
}

void SetupTest::autostartEntryIsWrittenQuotedAndRemoved() {
    QCOMPARE(qdui::quoteExecArgument("/usr/bin/qd"), std::string("/usr/bin/qd"));
    QCOMPARE(qdui::quoteExecArgument("/opt/my apps/qd"), std::string("\"/opt/my apps/qd\""));
    // Inside quotes $ is escaped with a backslash, which the string value doubles.
    QCOMPARE(qdui::quoteExecArgument("/data/a$b"), std::string("\"/data/a\\\\$b\""));
    QCOMPARE(qdui::quoteExecArgument("/data/100%"), std::string("/data/100%%"));
    QCOMPARE(qdui::quoteExecArgument("/data/say \"hi\""), std::string("\"/data/say \\\\\"hi\\\\\"\""));

    qdtest::TempDir dir;
    const auto folder = dir / "config/autostart"; // missing: made
    std::string error;
    QVERIFY(!qdui::autostartEnabled(folder));
    QVERIFY2(qdui::setAutostart(folder, true, "/opt/my apps/qd", "/home/ann/My Tasks", error), error.c_str());
    QVERIFY(qdui::autostartEnabled(folder));
    const std::string text = qdtest::readFile(folder / "quandrel.desktop");
    QVERIFY(text.starts_with("[Desktop Entry]\n"));
    QVERIFY(text.find("\nType=Application\n") != std::string::npos);
    QVERIFY(text.find("\nExec=\"/opt/my apps/qd\" --data \"/home/ann/My Tasks\"\n") != std::string::npos);
    struct stat st {};
    QCOMPARE(::stat((folder / "quandrel.desktop").c_str(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0600u);
    QCOMPARE(::stat(folder.c_str(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0700u);
    // Written again over the old entry, then removed; removing twice is no error.
    QVERIFY(qdui::setAutostart(folder, true, "/usr/bin/qd", "/srv/q", error));
    QVERIFY(qdtest::readFile(folder / "quandrel.desktop").find("Exec=/usr/bin/qd --data /srv/q\n") !=
            std::string::npos);
    QVERIFY(qdui::setAutostart(folder, false, {}, {}, error));
    QVERIFY(!qdui::autostartEnabled(folder));
    QVERIFY(qdui::setAutostart(folder, false, {}, {}, error));
    QCOMPARE(std::distance(std::filesystem::directory_iterator(folder), {}), 0);

    // Where the folder is: $XDG_CONFIG_HOME when absolute, else ~/.config.
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string keep = oldConfig ? oldConfig : "";
    ::setenv("XDG_CONFIG_HOME", "/x/conf", 1);
    QCOMPARE(qdui::autostartFolder(), std::filesystem::path("/x/conf/autostart"));
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    ::setenv("HOME", "/home/ann", 1);
    QCOMPARE(qdui::autostartFolder(), std::filesystem::path("/home/ann/.config/autostart"));
    if (oldConfig)
        ::setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

void SetupTest::setupsLoginBoxWritesAndRemovesTheEntry() {
    Engine e;
    QVERIFY(e.runtime->open());
    auto context = contextOf(e);
    context.autostartFolder = e.dir / "autostart";
    context.program = "/usr/local/bin/qd";
    context.dataFolder = e.dir.path();
    Answers a;
    bool shownBefore = true;
    a.setup = [&](qdui::SetupWindow& w) {
        QVERIFY(w.startAtLogin());
        shownBefore = w.startAtLogin()->isChecked();
        w.startAtLogin()->setChecked(true);
        clickOk(w);
    };
    answer(e.ui, a);
    QVERIFY(qdui::openSetup(context));
    QVERIFY(!shownBefore);
    QVERIFY(qdtest::readFile(context.autostartFolder / "quandrel.desktop")
                .find("Exec=/usr/local/bin/qd --data " + e.dir.str()) != std::string::npos);
    a.setup = [&](qdui::SetupWindow& w) {
        shownBefore = w.startAtLogin()->isChecked();
        w.startAtLogin()->setChecked(false);
        clickOk(w);
    };
    QVERIFY(qdui::openSetup(context));
    QVERIFY(shownBefore);
    QVERIFY(!qdui::autostartEnabled(context.autostartFolder));
}

void SetupTest::settingsViewListsTheVariablesAndFollowsTheClock() {
    Engine e;
    QVERIFY(e.runtime->open());
    qd::ProgramSettings& s = e.runtime->settings();
    s.SysPwd = qd::hashLockPassword("hidden");
    s.HistoryExpires = 30;
    const std::string text = qdui::variablesText(qdui::programVariables(s));
    QVERIFY(text.find("HistoryExpires=30\n") != std::string::npos);
    QVERIFY(text.find("ININame=qd98.INI\n") != std::string::npos);
    QVERIFY(text.find("StartUpSchedule=1\n") != std::string::npos); // as used, not as stored
    QVERIFY(text.find("CM_OnTop=1\n") != std::string::npos);
    QVERIFY(text.find("SysPwd=(set)\n") != std::string::npos);
    QVERIFY(text.find("argon2") == std::string::npos);
    // Sorted by name without regard to case.
    QVERIFY(text.find("ActiveOnly=") < text.find("AltFmt=") &&
            text.find("AltFmt=") < text.find("BurstSize="));

    qdui::SettingsView view([&s] { return qdui::programVariables(s); }, e.clock);
    QCOMPARE(view.windowTitle(), QString("Settings View - 09:00:00"));
    e.clock.advanceSeconds(75);
    s.SnoozeInterval = 15;
    view.rebuild();
    QCOMPARE(view.windowTitle(), QString("Settings View - 09:01:15"));
    QVERIFY(view.text().contains("SnoozeInterval=15\n"));
    // Its own timer rebuilds it.
    s.SnoozeInterval = 16;
    QTRY_VERIFY_WITH_TIMEOUT(view.text().contains("SnoozeInterval=16\n"), 3000);

    // Setup opens it with "&Variables...".
    Answers a;
    bool opened = false;
    a.setup = [&](qdui::SetupWindow& w) {
        pressButton(w, "Variables...");
        const qdui::SettingsView* shown = w.settingsView();
        opened = shown != nullptr && shown->isVisible() && shown->text().contains("SnoozeInterval=16");
    };
    answer(e.ui, a);
    qdui::openSetup(contextOf(e));
    QVERIFY(opened);
}

QTEST_MAIN(SetupTest)
#include "SetupTest.moc"
