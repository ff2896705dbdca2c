// The main frame of the resident program: the menu, the toolbar, the status
// bar, the child windows (QMdiArea), the close and exit rules, and the part
// of the program's window the dispatcher talks to (qd::Frame).
#pragma once

#include "data/Globals.h"
#include "perform/Frame.h"
#include "ui/FrameStatus.h"
#include "ui/MessageWindow.h"
#include "ui/QtUserInterface.h"

#include <QMainWindow>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>

class QLabel;
class QMdiArea;

namespace qd {
class Clock;
struct Moment;
} // namespace qd

namespace qdui {

class SoundPlayer;

class MainFrame : public QMainWindow, public qd::Frame {
    Q_OBJECT
public:
    MainFrame(QtUserInterface& ui, const qd::Clock& clock, std::filesystem::path dataFolder,
              QWidget* parent = nullptr);
    ~MainFrame() override;

    // qd::Frame
    void bringToFront() override;
    bool isMinimized() const override;
    void playSound(const std::string& file) override;
    void beep() override;
    void showMessageWindow(const qd::MessageRequest& request) override;
    int openMessageWindows() const override { return openMessages_; }
    void requestShutdown() override;
    void refreshTaskLists() override;

    // Connects a menu (and toolbar) entry by its internal name; entries without
    // a handler stay disabled with a tip saying they are not available yet.
    void setHandler(const std::string& id, std::function<void()> handler);
    // The action of an entry ("StopScripts" for the toolbar's stop button).
    QAction* entryAction(const std::string& id) const;
    void setMessageActions(MessageActions actions) { messageActions_ = std::move(actions); }
    // The settings the frame follows (MinimizeOnCloseRequest, NoTray, the alarm
    // repeat); they must outlive the frame. Defaults until set.
    void setSettings(const qd::ProgramSettings* settings) { settings_ = settings ? settings : &defaults_; }

    // What the dispatcher shows after a tick, and the date and time fields.
    void showState(const FrameState& state, const qd::Moment& now);
    const FrameState& state() const { return state_; }
    QString statusField(int field) const; // 2 status text, 3 weekday and date, 4 time

    // Whether a tray icon is there to come back from: minimising then hides the
    // frame (unless NoTray is set).
    void setTrayShown(bool shown) { trayShown_ = shown; }
    // A note in the status bar's first field (shown once, kept until replaced).
    void setNote(const QString& note);

    // Puts the frame where "Main" in POSITION.INI says when that place is on a
    // screen that exists; otherwise a default size in the middle of the
    // primary screen. Returns whether the saved place was used.
    bool restorePosition();
    void savePosition();

    // The "E&xit" entry: with MinimizeOnCloseRequest on, asks first.
    void exitRequested();
    bool exitConfirmed() const { return exitConfirmed_; }

    QMdiArea* mdiArea() const { return mdi_; }

signals:
    void stopScriptsRequested();
    // The frame was brought back from the tray or the taskbar.
    void restored();
    // The frame closed: the program ends.
    void closed();
    // The dispatcher changed the task table: open task lists read their view again.
    void taskListsChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildMenus();
    void buildToolBar();
    void arrangeIcons();
    void editFocused(const char* slot);

    QtUserInterface& ui_;
    qd::ProgramSettings defaults_;
    const qd::ProgramSettings* settings_ = &defaults_;
    const qd::Clock& clock_;
    std::filesystem::path folder_;
    QMdiArea* mdi_ = nullptr;
    QLabel* note_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* date_ = nullptr;
    QLabel* time_ = nullptr;
    std::map<std::string, QAction*> actions_;
    std::map<std::string, std::function<void()>> handlers_;
    MessageActions messageActions_;
    std::unique_ptr<SoundPlayer> sound_;
    FrameState state_;
    int openMessages_ = 0;
    bool trayShown_ = false;
    bool exitConfirmed_ = false;
    bool closedOnce_ = false;
};

} // namespace qdui
