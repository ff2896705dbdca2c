// "Housekeeping": the bulk maintenance of the data set in three groups. Each
// button that removes something asks first (a Yes/No box titled
// "Housekeeping") and says when it is done; the long passes run behind a
// progress window that can be cancelled.
#pragma once

#include "data/DataSet.h"
#include "data/Globals.h"

#include <QWidget>

#include <functional>
#include <string>

class QPushButton;

namespace qdui {
class QtProgress;
class QtUserInterface;
} // namespace qdui

namespace qdusersui {

struct HousekeepingContext {
    qd::DataSet& ds;
    qdui::QtUserInterface& ui;
    // settings.User is the current user the "assign" pass uses.
    const qd::ProgramSettings& settings;
    // Empties the list of running scripts.
    std::function<void()> clearScriptQueue;
    // Opens the reschedule window; while empty the button is disabled.
    std::function<void()> rescheduleAll;
    // Opens the list of users.
    std::function<void()> openUsers;
    // Tells the open task lists that tasks changed.
    std::function<void()> tasksChanged;
};

inline constexpr const char* kHousekeepingTitle = "Housekeeping";

class HousekeepingWindow : public QWidget {
    Q_OBJECT
public:
    explicit HousekeepingWindow(HousekeepingContext context, QWidget* parent = nullptr);
    ~HousekeepingWindow() override;

    QPushButton* button(const char* name) const;
    // The progress of the pass that runs now (tests cancel it).
    qdui::QtProgress* progress() const { return progress_; }

    void clearDisabledPressed();
    void clearCompletedPressed();
    void clearToDoPressed();
    void resetWindowsPressed();
    void clearScriptQueuePressed();
    void verifyLinksPressed();
    void assignUserPressed();

protected:
    // Refused while a pass runs: the pass works on the window's progress.
    void closeEvent(QCloseEvent* event) override;

signals:
    // A pass ended: what it removed or added, and whether it ran to the end.
    void passFinished(long long changed, bool complete);

private:
    QPushButton* addButton(QWidget* group, const char* name, const QString& text, const QString& tip);
    // Asks `question` (when given), runs the pass and says `done` when it ran to the end.
    template <class Pass> void runPass(const char* question, const char* done, Pass pass);

    HousekeepingContext context_;
    qdui::QtProgress* progress_ = nullptr;
    bool running_ = false;
};

} // namespace qdusersui
