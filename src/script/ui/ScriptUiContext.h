// What the script windows work with; everything must outlive the windows.
#pragma once

#include "data/Clock.h"
#include "data/DataSet.h"
#include "data/Globals.h"
#include "ui/ProgressWindow.h"
#include "ui/QtUserInterface.h"

#include <QString>

class QWidget;

#include <functional>
#include <optional>
#include <string>

namespace qd {
class EventLog;
class ScriptEngine;
class WindowTargeting;
} // namespace qd

namespace qdscriptui {

// A stored message chosen for a "Send Email" step: its number and the text the
// step shows for it.
struct PickedMessage {
    int emailId = 0;
    std::string title;
};

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
    // The messages list as a pick list ("&Select"); null: not offered.
    std::function<std::optional<PickedMessage>(QWidget* parent)> pickMessage{};
    // Called with the progress window of a long run (import, export, template
    // copy) before the run starts: tests cancel through it.
    std::function<void(qdui::QtProgress&)> onProgress{};
};

inline QString q(const std::string& s) {
    return QString::fromStdString(s);
}
inline std::string s(const QString& q) {
    return q.toStdString();
}

} // namespace qdscriptui
