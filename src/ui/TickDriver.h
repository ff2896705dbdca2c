// The one-second timer of the resident program, on the GUI thread.
//
// The timer fires at the start of each wall-clock second. It is armed again
// before the tick runs, so a slow tick does not make the seconds drift. A tick
// that opens a modal dialog runs a nested event loop in which the timer keeps
// firing: those firings are passed over, so the dialog holds the dispatcher
// and no tick ever runs inside another.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace qdui {

class TickDriver : public QObject {
    Q_OBJECT
public:
    explicit TickDriver(std::function<void()> tick, QObject* parent = nullptr);

    // How many milliseconds to wait for the next tick; by default the time to
    // the next whole second of the system clock. Tests make it short.
    void setDelayToNextTick(std::function<int()> delay) { delay_ = std::move(delay); }

    void start();
    void stop();
    bool running() const { return timer_.isActive(); }

    bool inTick() const { return inTick_; }
    long long ticks() const { return ticks_; }
    // Firings passed over because a tick was still running (a question held it).
    long long heldFirings() const { return held_; }

    // Milliseconds from `msecsSinceEpoch` to the next whole second (at least
    // 100 ms, so a timer that fires a little early never ticks twice).
    static int delayToNextSecond(qint64 msecsSinceEpoch);

signals:
    // After each tick that ran.
    void ticked();

private:
    void fire();
    void arm();

    std::function<void()> tick_;
    std::function<int()> delay_;
    QTimer timer_;
    bool inTick_ = false;
    long long ticks_ = 0;
    long long held_ = 0;
};

} // namespace qdui
