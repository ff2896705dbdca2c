// The options window ("Setup"): every setting the user can change, on eight
// tabs, written back to the Configuration table on "&OK".
//
// The window is built from one table (setupFields()) that says on which tab
// each setting sits, how it is edited and what its prompt says; the checks and
// the writing are the settings core's (acceptOptions).
#pragma once

#include "ui/QtUserInterface.h"
#include "ui/SettingsView.h"

#include <QDialog>
#include <QPointer>

#include <filesystem>
#include <functional>
#include <map>
#include <span>
#include <string>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QTabWidget;

namespace qd {
class Clock;
class DataSet;
class EventLog;
struct ProgramSettings;
} // namespace qd

namespace qdui {

enum class SetupFieldKind { Check, Number, Text, DateFormat, Password };

// One setting on the window.
struct SetupField {
    const char* tab;   // "Start Up"
    const char* group; // the frame around a few fields; "" for none
    const char* key;   // the Configuration key
    SetupFieldKind kind;
    const char* label;  // the check box's text or the prompt before the field
    const char* suffix; // after a number ("day(s)"); "" for none
    int min = 0;        // the range of a number
    int max = 0;
    const char* info = ""; // the key whose note the info button beside the field shows; "" for none
};

// Every field, tab by tab in the order the window shows them.
std::span<const SetupField> setupFields();
// The tabs in order.
std::span<const char* const> setupTabs();

// What the window works on; everything must outlive it.
struct SetupContext {
    qd::DataSet* dataSet = nullptr;
    qd::ProgramSettings* settings = nullptr; // the run's settings: replaced on OK
    QtUserInterface* ui = nullptr;
    const qd::Clock* clock = nullptr; // for the settings view's title
    qd::EventLog* log = nullptr;      // reconfigured on OK when given
    // "Start Quandrel at login": the autostart folder (empty: the box is not
    // offered) and the program and data folder its entry starts.
    std::filesystem::path autostartFolder;
    std::filesystem::path program;
    std::filesystem::path dataFolder;
    // The settings view's lines; the run's settings when not given.
    std::function<Variables()> variables;
    // Asked before the window opens (the system lock); false keeps it closed.
    std::function<bool()> mayOpen;
    // After the settings were saved, so the running program follows them.
    std::function<void()> saved;
    // "&Test Settings": sends the test mail with these settings and the login
    // password typed in the window (empty: the one kept); empty disables the button.
    std::function<void(const qd::ProgramSettings&, const std::string& typedPassword)> testMail;
    // Keeps the SMTP login password typed in the window (OK, when one was
    // typed). True when kept, with a note to show when there is one; false
    // with the reason. Empty: the field is not offered.
    std::function<bool(const std::string& password, std::string& note)> keepMailPassword;
};

class SetupWindow : public QDialog {
    Q_OBJECT
public:
    explicit SetupWindow(SetupContext context, QWidget* parent = nullptr);
    ~SetupWindow() override;

    // The "&OK" button: checks, writes every setting and closes, or shows why
    // not and stays open.
    void accept() override;

    // The editor of a setting by its key (its object name is the key too).
    QWidget* field(const std::string& key) const;
    QCheckBox* startAtLogin() const { return startAtLogin_; }
    QLineEdit* confirmPassword() const { return confirm_; }
    QLineEdit* mailPassword() const { return mailPassword_; }
    QTabWidget* tabs() const { return tabs_; }
    SettingsView* settingsView() const { return view_; }
    bool saved() const { return saved_; }

    // Opens the settings view beside the window ("&Variables...").
    void showVariables();

private:
    void build();
    void load();
    void collect(qd::ProgramSettings& edited) const;
    void showInfo(const std::string& key);
    void lockToggled(bool locked);

    SetupContext ctx_;
    QTabWidget* tabs_ = nullptr;
    std::map<std::string, QWidget*> fields_;
    QLineEdit* confirm_ = nullptr;
    QLineEdit* mailPassword_ = nullptr;
    QCheckBox* startAtLogin_ = nullptr;
    QPointer<SettingsView> view_;
    std::string originalDateFormat_;
    bool saved_ = false;
};

// Opens Setup as the menu does: the lock check, the "/I" warning (unless
// "/CONFIG" was given too), then the window through the user interface (so tests
// can answer it). Returns whether the settings were saved.
bool openSetup(const SetupContext& context);

} // namespace qdui
