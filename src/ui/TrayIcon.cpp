#include "ui/TrayIcon.h"

#include "ui/EntryIcons.h"
#include "ui/MainMenu.h"

#include <QMenu>

// The icons are compiled into this static library; register them once.
static void initIconResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    (void)done;
}

namespace qdui {
namespace {

struct TrayItem {
    const char* name;
    const char* text;
};

// The menu, top to bottom ("-" a separator).
constexpr TrayItem kItems[] = {
    {"Restore", "&Restore"},
    {"-", ""},
    {"AddProgram", "&Program Wizard"},
    {"AddMessage", "&Message Wizard"},
    {"AddScript", "&Scripting Wizard"},
    {"-", ""},
    {"StopScript", "Stop Active Scripts"},
    {"-", ""},
    {"HotKeys", "&Hot Keys"},
    {"Options", "&Options"},
    {"About", "&About"},
    {"-", ""},
    {"Exit", "E&xit Quandrel"},
};

} // namespace

QIcon trayStateIcon(const std::string& name) {
    initIconResources();
    if (name == "traybusy_ico") return QIcon(":/quandrel/traybusy.svg");
    if (name == "traybus2_ico") return QIcon(":/quandrel/traybus2.svg");
    return QIcon(":/quandrel/tray.svg");
}

QIcon applicationIcon() {
    initIconResources();
    return QIcon(":/quandrel/quandrel.svg");
}

TrayIcon::TrayIcon(QObject* parent) : QObject(parent), menu_(new QMenu) {
    menu_->setObjectName("TrayMenu");
    menu_->setToolTipsVisible(true);
    for (const TrayItem& i : kItems) {
        if (std::string(i.name) == "-") {
            menu_->addSeparator();
            continue;
        }
        QAction* a = menu_->addAction(entryIcon(i.name), QString::fromUtf8(i.text));
        a->setObjectName(QString::fromUtf8(i.name));
        a->setToolTip(QString::fromUtf8(kNotAvailableTip));
        a->setEnabled(false);
        items_[i.name] = a;
        connect(a, &QAction::triggered, this, [this, name = std::string(i.name)] {
            const auto it = handlers_.find(name);
            if (it != handlers_.end() && it->second) it->second();
        });
    }
    // Enabled states are checked each time the menu opens.
    connect(menu_, &QMenu::aboutToShow, this, &TrayIcon::updateEnabled);
    tray_.setContextMenu(menu_);
    tray_.setIcon(trayStateIcon(icon_));
    tray_.setToolTip("Quandrel");
    connect(&tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
        if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick) emit activated();
    });
}

TrayIcon::~TrayIcon() {
    tray_.hide();
    delete menu_;
}

bool TrayIcon::available() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::show() {
    tray_.show();
}

void TrayIcon::hide() {
    tray_.hide();
}

bool TrayIcon::visible() const {
    return tray_.isVisible();
}

void TrayIcon::setHandler(const std::string& item, std::function<void()> handler) {
    const auto it = items_.find(item);
    if (it == items_.end()) return;
    handlers_[item] = std::move(handler);
    it->second->setToolTip(handlers_[item] ? QString() : QString::fromUtf8(kNotAvailableTip));
    updateEnabled();
}

QAction* TrayIcon::item(const std::string& name) const {
    const auto it = items_.find(name);
    return it == items_.end() ? nullptr : it->second;
}

void TrayIcon::updateEnabled() {
    const bool minimized = minimizedQuery_ && minimizedQuery_();
    for (auto& [name, action] : items_) {
        bool on = handlers_.count(name) && handlers_.at(name);
        if (name == "Restore") on = on && minimized;
        if (name == "StopScript") on = on && busy_;
        action->setEnabled(on);
    }
}

void TrayIcon::showState(const FrameState& state) {
    busy_ = state.busy;
    const QString tip = QString::fromStdString(clipTrayTip(state.trayTip));
    if (tray_.toolTip() != tip) tray_.setToolTip(tip);
    if (state.trayIcon != icon_) {
        icon_ = state.trayIcon;
        tray_.setIcon(trayStateIcon(icon_));
    }
    updateEnabled();
}

QString TrayIcon::toolTip() const {
    return tray_.toolTip();
}

} // namespace qdui
