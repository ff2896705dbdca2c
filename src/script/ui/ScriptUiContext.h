// What the script windows work with; everything must outlive the windows.
#pragma once

#include "data/Clock.h"
#include "data/DataSet.h"
#include "data/Globals.h"
#include "ui/ProgressWindow.h"
#include "ui/QtUserInterface.h"

#include <QString>

#include <functional>
#include <string>

namespace qd {
class EventLog;
class ScriptEngine;
class WindowTargeting;
} // namespace qd

namespace qdscriptui {

struct ScriptUiContext {
    qd::DataSet& ds;
    qdui::QtUserInterface& ui;
    const qd::Clock& clock;
    const qd::ProgramSettings& settings;
    // The window search of the running program (pickers, match counts, the
    // pointer display); null: the pickers show no windows.
    qd::WindowTargeting* windows = nullptr;
    // The step queue (the running-script view, the step-by-step run); may be null.
    qd::ScriptEngine* engine = nullptr;
    // Where a step-by-step run logs its steps; null: the run is not offered.
    qd::EventLog* log = nullptr;
    // Called with the progress window of a long run (import, export, template
    // copy) before the run starts: tests cancel through it.
    std::function<void(qdui::QtProgress&)> onProgress;
};

inline QString q(const std::string& s) {
    return QString::fromStdString(s);
}
inline std::string s(const QString& q) {
    return q.toStdString();
}

} // namespace qdscriptui
