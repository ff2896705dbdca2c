// qdmsg: shows the message the resident program handed over in a MsgLink
// record ("qdmsg ID=<n>", started in the data folder), then removes the record.
// It runs apart from qd, so a message window never holds the scheduler.
#include "data/Protection.h"
#include "data/Startup.h"
#include "mail/Mailer.h"
#include "mail/ui/MessageWindows.h"
#include "perform/TaskExecution.h"
#include "platform/SecretStore.h"
#include "platform/posix/PosixProcess.h"
#include "platform/secret/Passphrase.h"
#include "ui/MessageLink.h"
#include "ui/MessageWindow.h"
#include "ui/QtUserInterface.h"
#include "ui/ShownReport.h"
#include "ui/SoundPlayer.h"
#include "ui/TrayIcon.h"

#include <QApplication>

#include <filesystem>
#include <iostream>

namespace {

// The part of a main window that snoozing a message needs.
class MessageProgramFrame : public qd::Frame {
public:
    explicit MessageProgramFrame(std::filesystem::path folder) : sound_(std::move(folder)) {}
    void bringToFront() override {}
    bool isMinimized() const override { return false; }
    void playSound(const std::string& file) override {
        QString why;
        if (!sound_.play(file, why)) {
            std::cerr << "qdmsg: " << why.toStdString() << "\n";
            beep();
        }
    }
    void beep() override { QApplication::beep(); }
    void showMessageWindow(const qd::MessageRequest&) override {}
    int openMessageWindows() const override { return 0; }
    void requestShutdown() override {}
    void refreshTaskLists() override {}

private:
    qdui::SoundPlayer sound_;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quandrel");
    QApplication::setWindowIcon(qdui::applicationIcon());
    qdui::QtUserInterface ui;
    const auto args = qdui::parseMessageProgramArgs(std::vector<std::string>(argv + 1, argv + argc));
    if (!args.error.empty()) {
        std::cerr << "qdmsg: " << args.error << "\n";
        return 2;
    }
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::absolute(
        args.dataDir ? *args.dataDir : std::filesystem::current_path(ec).string(), ec);

    const qd::Clock& clock = qd::systemClock();
    qd::Startup startup(ui, clock, folder);
    // The settings (alarm repeat, snooze interval) are in the protected tables
    // when the data set is protected; without its passphrase the defaults serve.
    bool settingsReadable = true;
    if (qd::isProtected(folder)) {
        std::unique_ptr<qd::SecretStore> keyring = qd::openDesktopKeyring();
        std::string why;
        if (const auto p =
                qd::obtainPassphrase(folder, qd::PassphraseSources{keyring.get(), {}, false, {}}, why))
            startup.dataSet().setPassphrase(*p);
        else
            settingsReadable = false;
    }
    // Only the settings and the hand-over record are read: the frame's other
    // tables (100,000 tasks) are the resident program's, and checking them here
    // would keep the message waiting.
    if (settingsReadable) startup.loadSettings({});

    std::string error;
    const auto request = qdui::readMessageLink(startup.dataSet(), args.id, error);
    if (!request) {
        ui.message("Message", error, qd::MessageIcon::Exclamation);
        return 1;
    }

    MessageProgramFrame frame(folder);
    qd::PosixProcess process;
    qd::TaskExecution execution(startup.dataSet(), startup.settings(), frame, ui, startup.log(), process,
                                clock);
    qdui::MessageActions actions;
    actions.log = [&startup](const std::string& detail, const std::string& label) {
        startup.log().log(detail, label);
    };
    actions.playSound = [&frame](const std::string& file) { frame.playSound(file); };
    if (settingsReadable)
        actions.snooze = [&](const std::string& title, const std::string& text, const std::string& alarm) {
            if (execution.snoozeMessage(title, text, alarm) != 0) return true;
            ui.message("Snooze", "The snooze task could not be saved.", qd::MessageIcon::Exclamation);
            return false;
        };
    // "&Email" forwards the reminder with the user's mail settings (filled from the
    // system where empty), the login password from the desktop keyring or its private file.
    if (settingsReadable)
        actions.email = [&](const std::string& title, const std::string& text) {
            qd::ProgramSettings settings = startup.settings();
            qd::FillMailSettingsFromSystem(settings, qd::readSystemMailSources());
            qdmailui::MailUiContext context{startup.dataSet(),
                                            ui,
                                            [&startup, &ui, &clock, &folder, settings] {
                                                qd::Mailer mailer(startup.dataSet(), startup.log(), ui, clock,
                                                                  settings);
                                                mailer.setPasswordSource(qd::keptMailPassword(folder));
                                                return mailer;
                                            },
                                            {}};
            qdmailui::ForwardWindow forward(title, text, context);
            ui.runDialog(forward);
        };
    const qd::ProgramSettings& s = startup.settings();
    qdui::MessageWindow window(*request, clock, qdui::AlarmSettings{s.RepeatAlarmInterval, s.MaxAlarmTime},
                               actions);
    qdui::reportWhenShown(&window, "qdmsg");
    window.show();
    window.raise();
    window.activateWindow();
    // Shown: the hand-over record has done its work.
    if (!qdui::deleteMessageLink(startup.dataSet(), args.id))
        std::cerr << "qdmsg: message " << args.id << " could not be removed from MSGLINK\n";
    window.exec();
    return 0;
}
