#include "ui/MainFrame.h"

#include "data/Calendar.h"
#include "data/Clock.h"
#include "data/IniFile.h"
#include "data/Startup.h"
#include "ui/EntryIcons.h"
#include "ui/MainMenu.h"
#include "ui/SoundPlayer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

namespace qdui {
namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

constexpr const char* kExitWarning =
    "No tasks will execute while Quandrel is not active.  Are you sure you want to close Quandrel?";

// The frame's smallest size, 387 by 240 dialog units at the usual 8-point font.
constexpr int kMinWidth = 580;
constexpr int kMinHeight = 390;

} // namespace

MainFrame::MainFrame(QtUserInterface& ui, const qd::Clock& clock, std::filesystem::path dataFolder,
                     QWidget* parent)
    : QMainWindow(parent), ui_(ui), clock_(clock), folder_(std::move(dataFolder)),
      sound_(std::make_unique<SoundPlayer>(folder_)) {
    setObjectName("MainFrame");
    setWindowTitle(q(qd::kProductName));
    setMinimumSize(kMinWidth, kMinHeight);
    mdi_ = new QMdiArea(this);
    mdi_->setObjectName("ChildWindows");
    setCentralWidget(mdi_);

    note_ = new QLabel(this);
    status_ = new QLabel(this);
    date_ = new QLabel(this);
    time_ = new QLabel(this);
    note_->setObjectName("StatusNote");
    status_->setObjectName("StatusText");
    date_->setObjectName("StatusDate");
    time_->setObjectName("StatusTime");
    statusBar()->addWidget(note_, 1);
    statusBar()->addPermanentWidget(status_);
    statusBar()->addPermanentWidget(date_);
    statusBar()->addPermanentWidget(time_);

    buildMenus();
    buildToolBar();
    ui_.setParentWindow(this);
}

MainFrame::~MainFrame() = default;

void MainFrame::buildMenus() {
    std::map<std::string, QMenu*> menus;
    auto menuFor = [&](const std::string& path) {
        QMenu* parent = nullptr;
        std::string sofar;
        std::size_t start = 0;
        while (start <= path.size()) {
            const std::size_t slash = path.find('/', start);
            const std::string part =
                path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
            sofar += (sofar.empty() ? "" : "/") + part;
            auto it = menus.find(sofar);
            if (it == menus.end()) {
                QMenu* m = parent ? parent->addMenu(q(part)) : menuBar()->addMenu(q(part));
                m->setToolTipsVisible(true);
                m->setObjectName(q(sofar));
                it = menus.emplace(sofar, m).first;
            }
            parent = it->second;
            if (slash == std::string::npos) break;
            start = slash + 1;
        }
        return parent;
    };
    for (const MenuEntry& e : mainMenuEntries()) {
        QMenu* menu = menuFor(e.menu);
        if (e.id == "-") {
            menu->addSeparator();
            continue;
        }
        QAction* a = menu->addAction(q(e.text));
        a->setObjectName(q(e.id));
        if (!e.shortcut.empty()) a->setShortcut(QKeySequence(q(e.shortcut)));
        a->setStatusTip(q(e.tip));
        a->setToolTip(e.alwaysDisabled ? q(e.tip) : QString::fromUtf8(kNotAvailableTip));
        a->setEnabled(false);
        actions_[e.id] = a;
        connect(a, &QAction::triggered, this, [this, id = e.id] {
            const auto it = handlers_.find(id);
            if (it != handlers_.end() && it->second) it->second();
        });
    }

    // The entries this frame handles itself.
    setHandler("Exit", [this] { exitRequested(); });
    setHandler("Cut", [this] { editFocused("cut"); });
    setHandler("Copy", [this] { editFocused("copy"); });
    setHandler("Paste", [this] { editFocused("paste"); });
    setHandler("Tile", [this] { mdi_->tileSubWindows(); });
    setHandler("Cascade", [this] { mdi_->cascadeSubWindows(); });
    setHandler("ArrangeIcons", [this] { arrangeIcons(); });
}

void MainFrame::buildToolBar() {
    QToolBar* bar = addToolBar("Toolbar");
    bar->setObjectName("Toolbar");
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    auto* stop = new QAction("Stop Active Scripts", this);
    stop->setObjectName("StopScripts");
    stop->setToolTip("Stop Active Scripts");
    stop->setStatusTip("Stop every running script");
    stop->setEnabled(false);
    connect(stop, &QAction::triggered, this, &MainFrame::stopScriptsRequested);
    actions_["StopScripts"] = stop;
    // Pictures of the entries, in the menus and on the toolbar.
    for (const auto& [id, action] : actions_)
        if (const QIcon icon = entryIcon(id); !icon.isNull()) action->setIcon(icon);
    for (const std::string& id : toolbarEntries()) {
        if (id == "-") {
            bar->addSeparator();
        } else if (QAction* a = entryAction(id)) {
            bar->addAction(a);
        }
    }
}

void MainFrame::setHandler(const std::string& id, std::function<void()> handler) {
    QAction* a = entryAction(id);
    if (!a) return;
    const bool always = [&] {
        for (const auto& e : mainMenuEntries())
            if (e.id == id) return e.alwaysDisabled;
        return false;
    }();
    handlers_[id] = std::move(handler);
    if (always) return;
    a->setEnabled(static_cast<bool>(handlers_[id]));
    a->setToolTip(handlers_[id] ? a->statusTip() : QString::fromUtf8(kNotAvailableTip));
}

QAction* MainFrame::entryAction(const std::string& id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void MainFrame::editFocused(const char* slot) {
    if (QWidget* w = QApplication::focusWidget()) QMetaObject::invokeMethod(w, slot);
}

void MainFrame::arrangeIcons() {
    // Minimised child windows in a row along the bottom of the area.
    int x = 0;
    for (QMdiSubWindow* w : mdi_->subWindowList()) {
        if (!w->isMinimized()) continue;
        const QSize s = w->size();
        w->move(x, mdi_->viewport()->height() - s.height());
        x += s.width();
    }
}

void MainFrame::showState(const FrameState& state, const qd::Moment& now) {
    state_ = state;
    if (windowTitle() != q(state.title)) setWindowTitle(q(state.title));
    status_->setText(q(state.statusText));
    date_->setText(q(statusDateText(now.date)));
    time_->setText(q(statusTimeText(now.time)));
    if (QAction* stop = entryAction("StopScripts")) stop->setEnabled(state.busy);
    // "View Current Script" follows the busy state once its window exists.
    if (QAction* view = entryAction("ViewCurrentScript"); view && handlers_.count("ViewCurrentScript"))
        view->setEnabled(state.busy);
}

QString MainFrame::statusField(int field) const {
    switch (field) {
    case 1:
        return note_->text();
    case 2:
        return status_->text();
    case 3:
        return date_->text();
    case 4:
        return time_->text();
    default:
        return {};
    }
}

void MainFrame::setNote(const QString& note) {
    note_->setText(note);
}

bool MainFrame::restorePosition() {
    const qd::INIClass positions(folder_);
    const auto saved = positions.fetch("Main", true);
    QScreen* primary = QGuiApplication::primaryScreen();
    const QRect avail = primary ? primary->availableGeometry() : QRect(0, 0, 1024, 768);
    QSize size(std::max(kMinWidth, 760), std::max(kMinHeight, 520));
    size = size.boundedTo(avail.size()).expandedTo(QSize(kMinWidth, kMinHeight));
    if (saved) {
        const QSize savedSize = (saved->width > 0 && saved->height > 0)
                                    ? QSize(saved->width, saved->height).expandedTo(minimumSize())
                                    : size;
        // The title bar must lie on a screen that exists, enough of it to grab.
        const QRect titleBar(saved->x, saved->y, savedSize.width(), 24);
        bool onScreen = false;
        for (QScreen* s : QGuiApplication::screens()) {
            const QRect part = s->availableGeometry().intersected(titleBar);
            if (part.width() >= 48 && part.height() >= 8) onScreen = true;
        }
        if (onScreen) {
            resize(savedSize);
            move(saved->x, saved->y);
            if (saved->maximized) setWindowState(windowState() | Qt::WindowMaximized);
            return true;
        }
    }
    resize(size);
    move(avail.center() - QPoint(size.width() / 2, size.height() / 2));
    return false;
}

void MainFrame::savePosition() {
    const QRect r = isMaximized() ? normalGeometry() : geometry();
    qd::WindowPosition p;
    p.maximized = isMaximized();
    p.x = r.x();
    p.y = r.y();
    p.width = r.width();
    p.height = r.height();
    const auto status = qd::INIClass(folder_).update("Main", p, true);
    if (!status) qWarning("cannot save the window position: %s", status.message.c_str());
}

void MainFrame::bringToFront() {
    if (isHidden()) show();
    if (QMainWindow::isMinimized()) setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    raise();
    activateWindow();
    emit restored();
}

bool MainFrame::isMinimized() const {
    return QMainWindow::isMinimized() || isHidden();
}

void MainFrame::playSound(const std::string& file) {
    QString why;
    if (!sound_->play(file, why)) {
        setNote(why);
        beep();
    }
}

void MainFrame::beep() {
    QApplication::beep();
}

void MainFrame::showMessageWindow(const qd::MessageRequest& request) {
    auto* w = new MessageWindow(request, clock_,
                                AlarmSettings{settings_->RepeatAlarmInterval, settings_->MaxAlarmTime},
                                messageActions_, request.modal ? this : nullptr);
    w->setAttribute(Qt::WA_DeleteOnClose);
    ++openMessages_;
    connect(w, &QObject::destroyed, this, [this] { --openMessages_; });
    if (request.modal) {
        // Holds the dispatcher: the tick that shows it waits here.
        ui_.runDialog(*w);
    } else {
        w->show();
        w->raise();
        w->activateWindow();
    }
}

void MainFrame::requestShutdown() {
    // A hand-over to another program: no question, the frame closes.
    exitConfirmed_ = true;
    QTimer::singleShot(0, this, [this] { close(); });
}

void MainFrame::refreshTaskLists() {
    emit taskListsChanged();
}

void MainFrame::exitRequested() {
    if (settings_->MinimizeOnCloseRequest) {
        bringToFront();
        if (!ui_.ask("Warning", kExitWarning)) return;
    }
    exitConfirmed_ = true;
    close();
}

void MainFrame::closeEvent(QCloseEvent* event) {
    if (settings_->MinimizeOnCloseRequest && !exitConfirmed_) {
        event->ignore();
        showMinimized();
        return;
    }
    event->accept();
    if (closedOnce_) return;
    closedOnce_ = true;
    savePosition();
    emit closed();
}

void MainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    // Minimised with a tray icon to come back from: only the tray icon stays.
    if (QMainWindow::isMinimized() && trayShown_ && !settings_->NoTray)
        QTimer::singleShot(0, this, [this] {
            if (QMainWindow::isMinimized()) hide();
        });
}

} // namespace qdui
