// The frame's icon in the notification area (StatusNotifierItem or XEmbed,
// whichever the desktop offers, through Qt) with its menu, tip and the busy
// animation.
#pragma once

#include "ui/FrameStatus.h"

#include <QObject>
#include <QSystemTrayIcon>

#include <functional>
#include <map>
#include <string>

class QAction;
class QMenu;

namespace qdui {

class TrayIcon : public QObject {
    Q_OBJECT
public:
    explicit TrayIcon(QObject* parent = nullptr);
    ~TrayIcon() override;

    // Whether the desktop has a notification area now.
    static bool available();

    void show();
    void hide();
    bool visible() const;

    // Connects an item by its internal name ("Restore", "AddProgram", "StopScript",
    // "Options", "About", "Exit", ...); items without a handler are disabled
    // with a tip saying they are not available yet.
    void setHandler(const std::string& item, std::function<void()> handler);
    QAction* item(const std::string& name) const;
    QMenu* menu() const { return menu_; }

    // The tip, the icon state and whether a script runs, after each tick.
    void showState(const FrameState& state);
    // Enables "&Restore" only while the frame is minimised or hidden; the
    // query is asked each time the menu opens.
    void setFrameMinimizedQuery(std::function<bool()> query) { minimizedQuery_ = std::move(query); }

    QString toolTip() const;
    std::string iconName() const { return icon_; }

signals:
    // A left click (or double click) on the icon.
    void activated();

private:
    void updateEnabled();

    QSystemTrayIcon tray_;
    QMenu* menu_;
    std::map<std::string, QAction*> items_;
    std::map<std::string, std::function<void()>> handlers_;
    std::string icon_ = "tray_ico";
    bool busy_ = false;
    std::function<bool()> minimizedQuery_;
};

// The icons of the tray states and of the program, from the program's resources.
QIcon trayStateIcon(const std::string& name); // "tray_ico", "traybusy_ico", "traybus2_ico"
QIcon applicationIcon();

} // namespace qdui
