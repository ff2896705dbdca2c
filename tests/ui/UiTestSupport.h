// Helpers of the window tests: dialogs answered while their loop runs, and a
// data set with the assembled engine behind a real frame.
#pragma once

#include "data/Clock.h"
#include "data/DataSet.h"
#include "data/FileManager.h"
#include "data/Startup.h"
#include "platform/null/NullDesktop.h"
#include "platform/posix/PosixProcess.h"
#include "runtime/Runtime.h"
#include "support/TempDir.h"
#include "ui/FrameStatus.h"
#include "ui/MainFrame.h"
#include "ui/QtUserInterface.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

namespace qduitest {

// Presses the button of `dialog` whose text, without "&", is `text`.
bool pressButton(QDialog& dialog, const QString& text);

// Answers every dialog of `ui` by pressing `button` `delayMs` after it opened;
// the titles and texts of the dialogs are appended to `seen` ("title: text").
void answerDialogs(qdui::QtUserInterface& ui, const QString& button, int delayMs,
                   QStringList* seen = nullptr);

// A data set in a fresh folder, a manual clock (10 March 2026, 09:00), the
// frame and the engine on the null desktop.
struct Engine {
    explicit Engine(std::vector<std::string> commandLine = {});
    ~Engine();

    int addTask(const qd::ScheduleRecord& r);
    std::vector<qd::ScheduleRecord> tasks();
    qdui::FrameState state();
    // A task that shows "text" at the given moment, once.
    static qd::ScheduleRecord messageTask(const std::string& title, const std::string& text, qd::Moment at);

    qdtest::TempDir dir;
    qdui::QtUserInterface ui;
    qd::ManualClock clock;
    qd::Startup startup;
    qd::DataSet& ds;
    qd::NullDesktop desktop;
    qd::PosixProcess process;
    std::unique_ptr<qdui::MainFrame> frame;
    std::unique_ptr<qd::Runtime> runtime;
};

} // namespace qduitest
