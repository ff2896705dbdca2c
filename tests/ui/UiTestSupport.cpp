#include "UiTestSupport.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

namespace qduitest {

bool pressButton(QDialog& dialog, const QString& text) {
    for (QAbstractButton* b : dialog.findChildren<QAbstractButton*>()) {
        if (QString(b->text()).remove('&') == text) {
            b->click();
            return true;
        }
    }
    return false;
}

void answerDialogs(qdui::QtUserInterface& ui, const QString& button, int delayMs, QStringList* seen) {
    ui.setDialogHook([button, delayMs, seen](QDialog& d) {
        if (seen) {
            const auto* box = qobject_cast<QMessageBox*>(&d);
            *seen << d.windowTitle() + ": " + (box ? box->text() : QString());
        }
        QPointer<QDialog> dialog(&d);
        QTimer::singleShot(delayMs, [dialog, button] {
            if (QDialog* open = dialog.data(); open != nullptr && !pressButton(*open, button)) open->reject();
        });
    });
}

Engine::Engine(std::vector<std::string> commandLine)
    : clock({qd::dateFromMDY(3, 10, 2026), qd::timeFromHMS(9, 0, 0)}), startup(ui, clock, dir.path()),
      ds(startup.dataSet()) {
    frame = std::make_unique<qdui::MainFrame>(ui, clock, dir.path());
    runtime = std::make_unique<qd::Runtime>(startup, *frame, desktop, process,
                                            qd::RuntimeOptions{std::move(commandLine)});
    frame->setSettings(&runtime->settings());
}

Engine::~Engine() {
    runtime.reset();
    frame.reset();
}

int Engine::addTask(const qd::ScheduleRecord& r) {
    qd::Table<qd::ScheduleRecord> t(ds, qd::tables::Schedule());
    if (t.open() != qd::Level::Benign) return 0;
    t.rec = r;
    return t.insert() == qd::Level::Benign ? t.rec.ID : 0;
}

std::vector<qd::ScheduleRecord> Engine::tasks() {
    std::vector<qd::ScheduleRecord> out;
    qd::Table<qd::ScheduleRecord> t(ds, qd::tables::Schedule());
    t.open();
    t.setOrder(0);
    while (t.next() == qd::Level::Benign)
        out.push_back(t.rec);
    return out;
}

qdui::FrameState Engine::state() {
    return qdui::frameStateOf(runtime->dispatcher());
}

qd::ScheduleRecord Engine::messageTask(const std::string& title, const std::string& text, qd::Moment at) {
    qd::ScheduleRecord r{};
    r.Description = title;
    r.Message = text;
    r.TaskType = "Display Message";
    r.ScheduleType = "Once";
    r.Date = at.date;
    r.Time = at.time;
    return r;
}

} // namespace qduitest
