#include "QdProgram.h"

#include "clipboard/ClipboardWriter.h"
#include "clipboard/ui/ClipboardMonitor.h"
#include "clipboard/ui/ClipboardWindows.h"
#include "clipboard/ui/QtClipboard.h"
#include "data/FileModes.h"
#include "data/IniFile.h"
#include "data/Protection.h"
#include "data/Startup.h"
#include "hotkeys/HotKeyService.h"
#include "hotkeys/HotKeyState.h"
#include "hotkeys/ui/HotKeyWatcher.h"
#include "hotkeys/ui/HotKeyWindows.h"
#include "mail/Mailer.h"
#include "mail/MessageRules.h"
#include "mail/ui/MailWindows.h"
#include "platform/SecretStore.h"
#include "platform/posix/PosixProcess.h"
#include "platform/secret/Passphrase.h"
#include "platform/x11/X11Desktop.h"
#include "runtime/Runtime.h"
#include "schedule/ui/ScheduleWindows.h"
#include "schedule/ui/TaskEditorWindows.h"
#include "script/ScriptEngine.h"
#include "script/ui/ScriptWindows.h"
#include "ui/About.h"
#include "ui/Autostart.h"
#include "ui/BugReport.h"
#include "ui/DesktopSession.h"
#include "ui/FrameStatus.h"
#include "ui/LogViewer.h"
#include "ui/MainFrame.h"
#include "ui/PassphraseWindow.h"
#include "ui/QtUserInterface.h"
#include "ui/SetupWindow.h"
#include "ui/ShownReport.h"
#include "ui/SingleInstance.h"
#include "ui/Splash.h"
#include "ui/SystemLockPrompt.h"
#include "ui/TickDriver.h"
#include "ui/TrayIcon.h"
#include "users/ui/UsersWindows.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QScopeGuard>

#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <filesystem>
#include <iostream>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The passphrase of a protected data set, typed into a window (never shown).

// A termination signal (logout, kill) is written to this socket and read by the
// event loop, which then closes the frame the orderly way.
int gSignalWrite = -1;

extern "C" void onTerminate(int) {
    if (gSignalWrite >= 0) {
        const char c = 1;
        [[maybe_unused]] const auto n = ::write(gSignalWrite, &c, 1);
    }
}

constexpr const char* kTitle = "Quandrel";

// Where the data folder search starts: the current folder when it holds the
// data (or the pointer to it), else the folder of the program's own files.
std::filesystem::path searchStart() {
    std::error_code ec;
    const auto cwd = std::filesystem::current_path(ec);
    if (!ec && (std::filesystem::exists(qd::findFileNoCase(cwd, "QD97.TPS"), ec) ||
                std::filesystem::exists(qd::findFileNoCase(cwd, "PATHS.INI"), ec)))
        return cwd;
    const auto install = qd::defaultInstallFolder();
    std::string made;
    qd::createPrivateFolder(install, made);
    return install;
}

std::optional<std::filesystem::path> dataFolder(const qdui::QdCommandLine& cl, qdui::QtUserInterface& ui) {
    if (!cl.dataDir) return qd::locateDataFolder(searchStart(), ui).folder;
    std::error_code ec;
    const auto folder = std::filesystem::absolute(*cl.dataDir, ec);
    std::string made;
    if (ec || !qd::createPrivateFolder(folder, made) || !std::filesystem::is_directory(folder, ec)) {
        ui.message(kTitle,
                   "Cannot use the data folder " + *cl.dataDir + ": " +
                       (made.empty() ? "not a folder" : made),
                   qd::MessageIcon::Hand);
        return std::nullopt;
    }
    return folder;
}

} // namespace

int runQd(const qdui::QdCommandLine& commandLine) {
    qdui::QtUserInterface ui;
    const auto folder = dataFolder(commandLine, ui);
    if (!folder) return 1;
    if (const std::string why = qd::unsafeDataFolder(*folder); !why.empty()) {
        ui.message(kTitle, why, qd::MessageIcon::Hand);
        return 1;
    }

    // One resident program per data folder, user and display.
    qdui::SingleInstance instance;
    QString instanceError;
    const QString display =
        QString::fromLocal8Bit(qgetenv("DISPLAY")) + "/" + QGuiApplication::platformName();
    switch (instance.claim(*folder, display, instanceError)) {
    case qdui::SingleInstance::Outcome::RaisedOther:
        std::cout << "qd: already running on " << folder->string() << "; brought it to the front\n";
        return 0;
    case qdui::SingleInstance::Outcome::Failed:
        std::cerr << "qd: " << instanceError.toStdString()
                  << " (a second qd on this folder will not be noticed)\n";
        break;
    case qdui::SingleInstance::Outcome::First:
        break;
    }

    const qd::Clock& clock = qd::systemClock();
    qd::Startup startup(ui, clock, *folder);
    if (qd::isProtected(*folder)) {
        std::unique_ptr<qd::SecretStore> keyring = qd::openDesktopKeyring();
        std::string why;
        const auto passphrase = qd::obtainPassphrase(
            *folder, qd::PassphraseSources{keyring.get(), {}, true, qdui::passphraseWindow(kTitle)}, why);
        if (!passphrase) {
            ui.message(kTitle, "The data set in " + folder->string() + " is protected: " + why,
                       qd::MessageIcon::Hand);
            return 1;
        }
        startup.dataSet().setPassphrase(*passphrase);
    }

    const std::unique_ptr<qd::Desktop> desktop = qd::openX11ProgramDesktop();
    qd::PosixProcess process;
    qdui::MainFrame frame(ui, clock, *folder);
    qd::Runtime runtime(startup, frame, *desktop, process, qd::RuntimeOptions{commandLine.switches, true});
    frame.setSettings(&runtime.settings());
    // The SMTP login password (the desktop keyring, else its private file), looked up when a mail needs it.
    runtime.setMailPassword(qd::keptMailPassword(*folder));
    std::unique_ptr<qdmailui::MailWindows> mailWindows;
    frame.setMessageActions(qdui::MessageActions{
        {},
        [&frame](const std::string& file) { frame.playSound(file); },
        [&runtime, &ui, &frame](const std::string& title, const std::string& text, const std::string& alarm) {
            if (runtime.execution().snoozeMessage(title, text, alarm) == 0) {
                ui.message("Snooze", "The snooze task could not be saved.", qd::MessageIcon::Exclamation);
                return false;
            }
            frame.refreshTaskLists();
            return true;
        },
        {},
        [&mailWindows](const std::string& title, const std::string& text) {
            if (mailWindows) mailWindows->forward(title, text);
        }});
    if (!runtime.open()) return 1; // the reason was shown
    qdschedui::ScheduleWindows scheduleWindows(
        frame, ui, {startup.dataSet(), runtime.settings(), runtime.execution(), clock, ui, {}});
    mailWindows = std::make_unique<qdmailui::MailWindows>(
        frame, qdmailui::MailUiContext{startup.dataSet(), ui, [&runtime] { return runtime.makeMailer(); },
                                       [&runtime](int emailId) {
                                           // The main window sends it as a script step would.
                                           qd::ScriptingRecord step{};
                                           step.Action = "Send Email";
                                           step.EmailID = emailId;
                                           runtime.scripts().appendEntry(step);
                                           qd::SetMailProgressText("Sending Email...");
                                       }});
    // The script editors: the lists' "&Scripting" button, the templates and the running-script view.
    qdscriptui::ScriptWindows scriptWindows(
        frame, {startup.dataSet(), ui, clock, runtime.settings(), &runtime.windows(), &runtime.scripts(),
                &runtime.log(), [&mailWindows](QWidget* parent) -> std::optional<qdscriptui::PickedMessage> {
                    // A "Send Email" step's message, chosen from the messages list.
                    const auto m = qdmailui::selectMessage(mailWindows->context(), parent);
                    if (!m) return std::nullopt;
                    return qdscriptui::PickedMessage{m->EmailID, qd::sendEmailStepTitle(*m)};
                }});
    scheduleWindows.setScriptEditor([&scriptWindows](int taskId) { scriptWindows.openScripting(taskId); });

    qdui::TrayIcon tray;
    const bool trayHost = qdui::TrayIcon::available() && !runtime.settings().NoTray;
    if (qdui::TrayIcon::available()) {
        tray.show();
        frame.setTrayShown(true);
    } else {
        frame.setNote("No notification area on this desktop: Quandrel stays a normal window.");
    }
    if (const QString session = qdui::sessionNote(); !session.isEmpty())
        frame.setNote(frame.statusField(1).isEmpty() ? session : frame.statusField(1) + "  " + session);
    auto restore = [&frame] { frame.bringToFront(); };
    tray.setFrameMinimizedQuery([&frame] { return frame.isMinimized(); });
    tray.setHandler("Restore", restore);
    tray.setHandler("StopScript", [&runtime] { runtime.scripts().stopAll(); });
    tray.setHandler("Exit", [&frame] { frame.exitRequested(); });
    // The tray's wizards restore the frame, then act as their menu entries.
    const std::pair<const char*, qdschedui::TaskEditRequest> trayWizards[] = {
        {"AddProgram", {qdschedui::TaskEditRequest::New, 0, 0, qd::kTypeRunProgram}},
        {"AddMessage", {qdschedui::TaskEditRequest::New, 0, 0, qd::kTypeDisplayMessage}},
        {"AddScript", {qdschedui::TaskEditRequest::Script, 0, 0, {}}}};
    for (const auto& [id, request] : trayWizards)
        tray.setHandler(id, [&frame, &scheduleWindows, request] {
            frame.bringToFront();
            scheduleWindows.openEditor(request);
        });
    QObject::connect(&tray, &qdui::TrayIcon::activated, &frame, restore);

    // The clipboard: the saver fed by every change, and the paste of the hot keys.
    qdclipui::QtClipboard clipboard;
    qd::ClipboardWriter clipWriter(*folder, startup.dataSet().passphrase(), clock);
    qdclipui::ClipboardMonitor clipMonitor(clipWriter, runtime.settings(), clock, desktop->windows(),
                                           &clipboard, desktop->clipboardWatcher());
    runtime.dispatcher().setClipboardCheck([&clipMonitor] { clipMonitor.tickCheck(); });

    // System-wide hot keys, delivered through the event loop.
    qd::HotKeyEnvironment hotKeyEnv;
    hotKeyEnv.ds = &startup.dataSet();
    hotKeyEnv.ui = &ui;
    hotKeyEnv.frame = &frame;
    hotKeyEnv.execution = &runtime.execution();
    hotKeyEnv.keys = &runtime.keys();
    hotKeyEnv.keyboard = &desktop->keyboard();
    hotKeyEnv.clipboard = &clipboard;
    hotKeyEnv.restoreFrame = restore;
    hotKeyEnv.post = [&frame](std::function<void()> job) { QTimer::singleShot(0, &frame, std::move(job)); };
    hotKeyEnv.postAfter = [&frame](std::chrono::milliseconds pause, std::function<void()> job) {
        QTimer::singleShot(pause, &frame, std::move(job));
    };
    qd::HotKeyService hotKeys(desktop->hotKeys(), hotKeyEnv);
    qdhotkeyui::HotKeyWatcher hotKeyWatcher(hotKeys, desktop->hotKeys());
    const std::filesystem::path hotKeyStateFile = qd::hotKeyStatePath(*folder);
    QObject::connect(&hotKeyWatcher, &qdhotkeyui::HotKeyWatcher::registered, &frame,
                     [&] { qd::writeHotKeyState(hotKeyStateFile, hotKeys.component()); });
    hotKeyWatcher.registerAll();

    // The hot-key and clipboard windows, as child windows of the frame.
    const auto addChild = [&frame](QWidget* w, QSize size) {
        QMdiSubWindow* sub = frame.mdiArea()->addSubWindow(w);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->resize(size);
        sub->show();
        frame.mdiArea()->setActiveSubWindow(sub);
        return w;
    };
    qdhotkeyui::HotKeyUiContext hotKeyUi{
        startup.dataSet(), ui, runtime.settings(), clock, &hotKeys, &desktop->hotKeys(), {}, {}};
    hotKeyUi.reregister = [&hotKeyWatcher, &frame] {
        QTimer::singleShot(0, &frame, [&hotKeyWatcher] { hotKeyWatcher.registerAll(); });
    };
    // The hot-key form's script wizard, behind the same lock as the task editor.
    hotKeyUi.editScript = [&scheduleWindows](int taskId, const std::string& name) {
        return scheduleWindows.openHotKeyScript(taskId, name);
    };
    const auto openHotKeys = [&] {
        auto* w = new qdhotkeyui::BrowseHotKeysWindow(hotKeyUi);
        QObject::connect(&hotKeyWatcher, &qdhotkeyui::HotKeyWatcher::registered, w,
                         &qdhotkeyui::BrowseHotKeysWindow::refresh);
        return static_cast<qdhotkeyui::BrowseHotKeysWindow*>(addChild(w, QSize(700, 320)));
    };
    frame.setHandler("HotKeys", [openHotKeys] { openHotKeys(); });
    tray.setHandler("HotKeys", [&frame, openHotKeys] {
        frame.bringToFront();
        openHotKeys();
    });
    frame.setHandler("NewHotKey", [openHotKeys] { openHotKeys()->insertPressed(); });

    qdclipui::ClipboardUiContext clipUi{startup.dataSet(), ui, clock, clipboard,
                                        [&runtime](const std::string& what) {
                                            qd::ProgramStartRequest r;
                                            r.command = what;
                                            runtime.execution().startProgram(r);
                                        }};
    const auto openClipboard = [&] {
        addChild(new qdclipui::ClipboardManagerWindow(clipUi), QSize(760, 420));
    };
    const auto openClipCategories = [&] {
        addChild(new qdclipui::ClipboardCategoriesWindow(clipUi), QSize(520, 440));
    };
    frame.setHandler("ClipboardSaver", openClipboard);
    frame.setHandler("ClipboardCategories", openClipCategories);
    frame.setHandler("SetupClipboardCategories", openClipCategories);
    QObject::connect(&instance, &qdui::SingleInstance::raiseRequested, &frame, restore);
    QObject::connect(&frame, &qdui::MainFrame::stopScriptsRequested, &frame,
                     [&runtime] { runtime.scripts().stopAll(); });
    // The backup program and the data tool work on the closed tables: each is
    // started in its window on this folder, then the frame closes. A program that
    // cannot be started leaves the frame running.
    const auto startTool = [&frame, folder](const char* name, QStringList args) {
        const QString program = QCoreApplication::applicationDirPath() + "/" + name;
        if (QProcess::startDetached(program, args, QString::fromStdString(folder->string())))
            frame.requestShutdown();
        else
            frame.setNote(QString("%1 could not be started.").arg(name));
    };
    frame.setHandler("BackupRestore", [startTool] { startTool("klvback", {"--window", "QD97.TPS"}); });
    frame.setHandler("FileManager", [startTool] { startTool("qd_dbase", {}); });
    frame.setHandler("ViewLog", [&frame, &runtime, folder] {
        // With logging off, the log gets the one line that says so; the viewer opens either way.
        const auto view = runtime.log().prepareView();
        if (!view.status) frame.setNote(QString::fromStdString(view.status.message));
        qdui::showLogViewer(frame.mdiArea(), view.path, *folder);
    });
    const auto about = [&frame, folder] {
        auto* window = new qdui::AboutWindow(*folder, &frame);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
    };
    frame.setHandler("ReportBug", [&frame, &runtime, &mailWindows, folder] {
        auto* report = new qdui::BugReportWindow(*folder, runtime.settings(), &frame);
        report->setMailComposer([&mailWindows](const QString& subject, const QString& text) {
            mailWindows->forward(subject.toStdString(), text.toStdString());
        });
        report->show();
    });
    for (const char* help : {"HelpContents", "HelpIndex", "HelpSearch", "HelpHowTo"})
        frame.setHandler(help, [&frame] {
            QString note;
            qdui::openManual(&frame, note);
            if (!note.isEmpty()) frame.setNote(note);
        });
    frame.setHandler("About", about);
    tray.setHandler("About", [&frame, about] {
        frame.bringToFront();
        about();
    });

    auto refresh = [&] {
        const qdui::FrameState state = qdui::frameStateOf(runtime.dispatcher());
        frame.showState(state, clock.now());
        tray.showState(state);
        // A mail handed to the step queue shows in the status bar once.
        if (const std::string sending = qd::MailProgressText(); !sending.empty()) {
            frame.setNote(QString::fromStdString(sending) + "..." + frame.statusField(1));
            qd::SetMailProgressText("");
        }
    };
    // Every lock-guarded window asks through this one check: the task editor
    // and its wizards, a list's script editor, the hot-key form's script wizard,
    // the messages list, housekeeping and Setup. Unlocking for the session
    // shows in the title at once.
    const std::function<bool()> systemLock = [&] {
        return qdui::systemLockPrompt(ui, runtime.settings(), runtime.dispatcher(), refresh);
    };
    scheduleWindows.setEditGuard(systemLock);
    mailWindows->setOpenGuard(systemLock);
    QObject::connect(&frame, &qdui::MainFrame::closed, qApp, &QCoreApplication::quit);
    // Housekeeping (File > Setup), behind the system lock; the users' list opens from it.
    qdusersui::UsersWindows usersWindows(
        frame, ui,
        {startup.dataSet(),
         runtime.settings(),
         systemLock,
         [&runtime] { runtime.scripts().stopAll(); },
         [&scheduleWindows, &frame] { scheduleWindows.openReschedule(&frame); },
         {}});
    // "&Options" (F10, the toolbar and the tray): the system lock, then Setup; on
    // OK the running program follows the new settings at once.
    const auto options = [&] {
        qdui::SetupContext setup;
        setup.dataSet = &startup.dataSet();
        setup.settings = &runtime.settings();
        setup.ui = &ui;
        setup.clock = &clock;
        setup.log = &runtime.log();
        setup.autostartFolder = qdui::autostartFolder();
        setup.program = QCoreApplication::applicationFilePath().toStdString();
        setup.dataFolder = *folder;
        setup.mayOpen = systemLock;
        setup.saved = [&] {
            runtime.applySettings();
            refresh();
        };
        setup.keepMailPassword = [&](const std::string& password, std::string& note) {
            std::unique_ptr<qd::SecretStore> keyring = qd::openDesktopKeyring();
            std::string error;
            if (qd::MailPasswordStore(keyring.get(), *folder).store(password, note, error)) return true;
            note = error;
            return false;
        };
        setup.testMail = [&](const qd::ProgramSettings& edited, const std::string& typedPassword) {
            qd::Mailer mailer(startup.dataSet(), runtime.log(), ui, clock, edited);
            // A password typed in the window is tried before it is kept.
            if (typedPassword.empty())
                mailer.setPasswordSource(qd::keptMailPassword(*folder));
            else
                mailer.setPasswordSource([typedPassword] { return typedPassword; });
            QApplication::setOverrideCursor(Qt::WaitCursor);
            const auto cursorBack = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
            mailer.sendTestMail();
        };
        qd::FillMailSettingsFromSystem(runtime.settings(), qd::readSystemMailSources());
        qdui::openSetup(setup);
    };
    frame.setHandler("Options", options);
    tray.setHandler("Options", [&frame, options] {
        frame.bringToFront();
        options();
    });

    int signalPair[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPair) == 0) {
        gSignalWrite = signalPair[0];
        signalNotifier = std::make_unique<QSocketNotifier>(signalPair[1], QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, &frame,
                         [&frame, fd = signalPair[1]] {
                             char c = 0;
                             [[maybe_unused]] const auto n = ::read(fd, &c, 1);
                             frame.requestShutdown();
                         });
        struct sigaction sa {};
        sa.sa_handler = onTerminate;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        for (int sig : {SIGTERM, SIGINT, SIGHUP})
            sigaction(sig, &sa, nullptr);
    }

    qdui::TickDriver ticker([&] {
        runtime.tick();
        runtime.launcher().reap();
        refresh();
    });
    refresh();
    frame.restorePosition();
    qdui::reportWhenShown(&frame, "qd");
    if (runtime.settings().StartUpMinimized && trayHost) {
        qdui::reportStarted("qd");
        frame.hide();
    } else if (runtime.settings().StartUpMinimized) {
        frame.showMinimized();
    } else {
        frame.show();
        // Not when starting hidden or minimised: a login start stays out of the way.
        qdui::showSplash(frame);
    }
    if (runtime.settings().StartUpSchedule) scheduleWindows.openSchedule();
    if (runtime.settings().StartUpClipboardSaver) openClipboard();
    ticker.start();
    const int code = QApplication::exec();
    ticker.stop();
    hotKeys.releaseAll();
    qd::removeHotKeyState(hotKeyStateFile);
    runtime.close();
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        std::signal(sig, SIG_DFL);
    gSignalWrite = -1;
    signalNotifier.reset();
    for (int fd : signalPair)
        if (fd >= 0) ::close(fd);
    return code;
}
