#include "ui/ShownReport.h"

#include <QEvent>
#include <QObject>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <unistd.h>

namespace qdui {
namespace {

bool wanted() {
    const char* v = std::getenv("QD_REPORT_SHOWN");
    return v && *v;
}

// Milliseconds since this process began, from the kernel's start time of the
// process (so the dynamic loading before main counts too).
long long millisecondsSinceStart() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowMs = now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
    std::FILE* f = std::fopen("/proc/self/stat", "r");
    if (!f) return -1;
    char buf[1024];
    const size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    buf[n] = 0;
    // Field 22 (starttime, clock ticks since boot) counts from after the
    // command name, which may hold spaces: start after its closing ')'.
    const std::string s(buf);
    const size_t close = s.rfind(')');
    if (close == std::string::npos) return -1;
    size_t pos = close + 2;
    for (int field = 3; field < 22 && pos != std::string::npos; ++field)
        pos = s.find(' ', pos) + 1;
    const double startTicks = std::strtod(s.c_str() + pos, nullptr);
    return static_cast<long long>(nowMs - startTicks * 1000.0 / sysconf(_SC_CLK_TCK));
}

void report(const char* name) {
    std::printf("%s shown %lld\n", name, millisecondsSinceStart());
    std::fflush(stdout);
}

class FirstPaint : public QObject {
public:
    FirstPaint(QWidget* w, const char* name) : QObject(w), name_(name) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            report(name_);
            deleteLater();
        }
        return false;
    }

private:
    const char* name_;
};

} // namespace

void reportWhenShown(QWidget* window, const char* name) {
    if (!wanted() || !window) return;
    window->installEventFilter(new FirstPaint(window, name));
}

void reportStarted(const char* name) {
    if (wanted()) report(name);
}

} // namespace qdui
