// The perform fixture with a dispatcher over the same data set, frame and log.
#pragma once

#include "dispatcher/Dispatcher.h"
#include "perform/PerformFixture.h"

#include <memory>

namespace qdtest {

class DispatcherTest : public PerformTest {
protected:
    qd::Dispatcher& dispatcher() {
        if (!disp) {
            disp = std::make_unique<qd::Dispatcher>(ds, settings, frame, ui, log, exec, scripts, clock);
            disp->open();
        }
        return *disp;
    }

    std::unique_ptr<qd::Dispatcher> disp;
};

} // namespace qdtest
