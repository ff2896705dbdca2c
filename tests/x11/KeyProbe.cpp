// A small Qt program the X11 tests type into and search for.
//
//   qd_keyprobe --log FILE --ready FILE [--window TITLE [--hidden|--minimized] [--button TEXT]...]...
//               [--native-child NAME]... [--windows N PREFIX] [--close-after N]
//               [--client-machine HOST] [--ignore-term] [--swallow] [--slow MS] [--edit-log FILE]
//
// Every key press and release that reaches the program is appended to the log
// as one line: "P|R <Qt key, hex> <modifiers, hex> <text as UTF-8 hex>". When
// every window is on screen (or created, for hidden ones) the ready file gets
// one line per window: "<window id, decimal> <title>". --close-after N ends the
// program after N key presses (a window that goes away while being typed into);
// --swallow records key events without letting the widgets act on them.
// --slow MS handles each key press MS milliseconds late, as a busy program does.
// --edit-log FILE rewrites FILE with the text of the changed line edit after
// every change (what a paste put there).
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

// X11 calls live in KeyProbeX11.cpp: Xlib's macros clash with Qt's names.
void setWindowName(Display* display, unsigned long window, const char* name);
void setClientMachine(Display* display, unsigned long window, const char* host);

namespace {

class KeyRecorder : public QObject {
public:
    KeyRecorder(const QString& logFile, int closeAfter, bool swallow, int slowMs)
        : log_(logFile), closeAfter_(closeAfter), swallow_(swallow), slowMs_(slowMs) {
        log_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Each key event reaches the window and then the focused widget; record it once.
        if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
            watched->isWindowType()) {
            auto* k = static_cast<QKeyEvent*>(event);
            const bool press = event->type() == QEvent::KeyPress;
            if (press && slowMs_ > 0) QThread::msleep(static_cast<unsigned long>(slowMs_));
            const QByteArray line = QByteArray(press ? "P " : "R ") + QByteArray::number(k->key(), 16) + ' ' +
                                    QByteArray::number(static_cast<uint>(k->modifiers().toInt()), 16) + ' ' +
                                    k->text().toUtf8().toHex() + '\n';
            log_.write(line);
            if (press && closeAfter_ > 0 && ++presses_ >= closeAfter_) QApplication::exit(0);
            if (swallow_) return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QFile log_;
    int closeAfter_ = 0;
    bool swallow_ = false;
    int slowMs_ = 0;
    int presses_ = 0;
};

struct WindowSpec {
    explicit WindowSpec(const QString& t) : title(t) {}
    QString title;
    bool hidden = false;
    bool minimized = false;
    QStringList buttons;
    QStringList nativeChildren;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QString logFile, readyFile;
    int closeAfter = 0;
    QString clientMachine;
    QString editLog;
    bool swallow = false;
    int slowMs = 0;
    std::vector<WindowSpec> requested;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const auto next = [&]() { return i + 1 < args.size() ? args[++i] : QString(); };
        if (a == "--log")
            logFile = next();
        else if (a == "--ready")
            readyFile = next();
        else if (a == "--close-after")
            closeAfter = next().toInt();
        else if (a == "--client-machine")
            clientMachine = next();
        else if (a == "--ignore-term")
            std::signal(SIGTERM, SIG_IGN);
        else if (a == "--swallow")
            swallow = true;
        else if (a == "--slow")
            slowMs = next().toInt();
        else if (a == "--edit-log")
            editLog = next();
        else if (a == "--window")
            requested.emplace_back(next());
        else if (a == "--hidden" && !requested.empty())
            requested.back().hidden = true;
        else if (a == "--minimized" && !requested.empty())
            requested.back().minimized = true;
        else if (a == "--button" && !requested.empty())
            requested.back().buttons << next();
        else if (a == "--native-child" && !requested.empty())
            requested.back().nativeChildren << next();
        else if (a == "--windows") {
            const int n = next().toInt();
            const QString prefix = next();
            for (int k = 1; k <= n; ++k)
                requested.emplace_back(prefix + QString::number(k));
        } else {
            std::fprintf(stderr, "qd_keyprobe: unknown argument %s\n", qPrintable(a));
            return 2;
        }
    }
    if (requested.empty()) requested.emplace_back("KeyProbe");

    KeyRecorder recorder(logFile.isEmpty() ? "/dev/null" : logFile, closeAfter, swallow, slowMs);
    app.installEventFilter(&recorder);

    // Closed windows are destroyed, as an application's closed window goes away.
    std::vector<QPointer<QWidget>> windows;
    std::vector<std::pair<QPointer<QWidget>, QString>> namedChildren;
    for (const WindowSpec& s : requested) {
        auto* w = new QWidget;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->setWindowTitle(s.title);
        auto* layout = new QVBoxLayout(w);
        auto* edit = new QLineEdit(w);
        layout->addWidget(edit);
        if (!editLog.isEmpty())
            QObject::connect(edit, &QLineEdit::textChanged, [editLog](const QString& text) {
                QFile f(editLog);
                if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(text.toUtf8());
            });
        for (const QString& b : s.buttons)
            layout->addWidget(new QPushButton(b, w));
        for (const QString& n : s.nativeChildren) {
            // A child with an X window of its own, named like a classic control.
            auto* child = new QWidget(w);
            child->setAttribute(Qt::WA_NativeWindow);
            child->setMinimumSize(20, 10);
            layout->addWidget(child);
            namedChildren.emplace_back(child, n);
        }
        w->resize(320, 120);
        if (s.hidden)
            w->winId(); // created, never mapped
        else if (s.minimized)
            w->showMinimized();
        else
            w->show();
        edit->setFocus();
        if (!clientMachine.isEmpty()) {
            if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
                setClientMachine(x11->display(), w->winId(), clientMachine.toUtf8().constData());
            }
        }
        windows.push_back(w);
    }

    // Report once the shown windows are mapped and the event loop runs.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (std::size_t i = 0; i < windows.size(); ++i) {
            const WindowSpec& s = requested[i];
            if (!windows[i]) continue;
            if (!s.hidden && !s.minimized && !windows[i]->windowHandle()->isExposed()) return;
        }
        poll.stop();
        // Qt names every native window after the program; name ours once shown.
        for (auto& [child, name] : namedChildren) {
            if (!child) continue;
            if (QWindow* handle = child->windowHandle()) handle->setTitle(name);
            if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>())
                setWindowName(x11->display(), child->winId(), name.toUtf8().constData());
        }
        if (readyFile.isEmpty()) return;
        // Written whole under another name, then renamed: readers never see half a file.
        QFile ready(readyFile + ".part");
        if (!ready.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
        QByteArray text;
        for (std::size_t i = 0; i < windows.size(); ++i)
            text += QByteArray::number(windows[i] ? windows[i]->winId() : 0) + ' ' +
                    requested[i].title.toUtf8() + '\n';
        ready.write(text);
        ready.close();
        QFile::rename(readyFile + ".part", readyFile);
    });
    poll.start(20);
    return app.exec();
}
