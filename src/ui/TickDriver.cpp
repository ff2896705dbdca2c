#include "ui/TickDriver.h"

#include <QDateTime>

#include <exception>

namespace qdui {

TickDriver::TickDriver(std::function<void()> tick, QObject* parent)
    : QObject(parent), tick_(std::move(tick)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &TickDriver::fire);
}

int TickDriver::delayToNextSecond(qint64 msecsSinceEpoch) {
    const int intoSecond = static_cast<int>(((msecsSinceEpoch % 1000) + 1000) % 1000);
    int delay = 1000 - intoSecond;
    if (delay < 100) delay += 1000;
    return delay;
}

void TickDriver::arm() {
    const int delay = delay_ ? delay_() : delayToNextSecond(QDateTime::currentMSecsSinceEpoch());
    timer_.start(delay < 0 ? 0 : delay);
}

void TickDriver::start() {
    arm();
}

void TickDriver::stop() {
    timer_.stop();
}

void TickDriver::fire() {
    arm();
    if (inTick_) {
        ++held_;
        return;
    }
    inTick_ = true;
    ++ticks_;
    // The runtime catches what a task or a step throws; anything that still
    // escapes must not unwind through Qt's event loop.
    try {
        tick_();
    } catch (const std::exception& e) {
        qWarning("tick failed: %s", e.what());
    } catch (...) {
        qWarning("tick failed");
    }
    inTick_ = false;
    emit ticked();
}

} // namespace qdui
