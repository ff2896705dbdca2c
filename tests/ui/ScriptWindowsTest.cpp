// The script windows driven as a person would: the step list's buttons, the
// step form, the script text, the templates with their prompts, the window
// helpers, the running-script view and the step-by-step run; on a data set on
// disk with the engine behind a real frame, dialogs answered while they run.
#include "UiTestSupport.h"

#include "data/StoreFile.h"
#include "data/Text.h"
#include "platform/fake/FakeWindowSystem.h"
#include "schedule/ui/ScheduleWindows.h"
#include "script/ScriptEngine.h"
#include "script/ScriptSteps.h"
#include "script/ScriptText.h"
#include "script/Templates.h"
#include "script/Values.h"
#include "script/WindowTargeting.h"
#include "script/ui/BrowseScripting.h"
#include "script/ui/ScriptRunWindows.h"
#include "script/ui/ScriptTextWindow.h"
#include "script/ui/ScriptWindows.h"
#include "script/ui/TemplateWindows.h"
#include "script/ui/UpdateScripting.h"
#include "script/ui/WindowPickers.h"
#include "ui/QueryDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>

using namespace qdscriptui;

namespace {

struct Bench {
    Bench() {
        QVERIFY(e.runtime->open());
        e.runtime->settings().DateFormat = "d17";
        windows = std::make_unique<qd::WindowTargeting>(fake);
        context = std::make_unique<ScriptUiContext>(
            ScriptUiContext{e.ds, e.ui, e.clock, e.runtime->settings(), windows.get(), &e.runtime->scripts(),
                            &e.runtime->log()});
        // Each dialog goes to the next handler; message boxes are recorded and closed.
        e.ui.setDialogHook([this](QDialog& d) {
            const auto* box = qobject_cast<QMessageBox*>(&d);
            seen << d.windowTitle() + ": " + (box ? box->text() : QString());
            QPointer<QDialog> dialog(&d);
            QTimer::singleShot(0, [this, dialog] {
                QDialog* open = dialog.data();
                if (open == nullptr || !open->isVisible()) return;
                if (qobject_cast<QMessageBox*>(open)) {
                    const QString answer = answers.empty() ? QString() : answers.front();
                    if (!answers.empty()) answers.pop_front();
                    if (answer.isEmpty() || !qduitest::pressButton(*open, answer)) open->reject();
                    return;
                }
                if (handlers.empty()) {
                    open->reject();
                    return;
                }
                auto handler = handlers.front();
                handlers.pop_front();
                handler(*open);
            });
        });
    }
    ~Bench() {
        e.frame->mdiArea()->closeAllSubWindows();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<BrowseScriptingWindow*>(w)) w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        e.runtime->close();
    }

    int addTask(const std::string& description) {
        qd::ScheduleRecord r =
            qduitest::Engine::messageTask(description, "", {e.clock.today(), qd::timeFromHMS(18, 0, 0)});
        r.TaskType = "Run Program";
        r.Category = "Work";
        r.Command = "N/A";
        return e.addTask(r);
    }
    std::vector<qd::ScriptingRecord> steps(int task) { return qd::LoadScriptSteps(e.ds, task).steps; }
    static void fillForm(QDialog& d, const std::function<void(UpdateScriptingDialog&)>& fill) {
        auto* form = qobject_cast<UpdateScriptingDialog*>(&d);
        QVERIFY(form);
        fill(*form);
        form->accept();
    }
    bool sawText(const QString& part) const {
        for (const QString& s : seen)
            if (s.contains(part)) return true;
        return false;
    }

    qduitest::Engine e;
    qd::FakeWindowSystem fake;
    std::unique_ptr<qd::WindowTargeting> windows;
    std::unique_ptr<ScriptUiContext> context;
    QStringList seen;
    std::deque<QString> answers;
    std::deque<std::function<void(QDialog&)>> handlers;
};

// The fields of a step that carry meaning (its key apart).
QString fieldsOf(const qd::ScriptingRecord& s) {
    QStringList f;
    for (const std::string* t :
         {&s.Action, &s.Keystrokes, &s.WaitForWindow, &s.FocusOnWindow, &s.WindowExistance,
          &s.WindowTitleToCheckFor, &s.IfTimeElapsed, &s.Command, &s.Path, &s.DDEType, &s.DDEApplicationName,
          &s.DDEApplicationTopic, &s.DDELinkItem, &s.DDECommand})
        f << QString::fromStdString(qd::text::trimmedRight(*t));
    f << QString::number(s.SecondsToWait) << QString::number(s.TimeElapsed) << QString::number(s.EmailID);
    return f.join("|");
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The file dialog's answer: `path`.
std::function<void(QDialog&)> chooseFile(const std::string& path) {
    return [path](QDialog& d) {
        auto* fd = qobject_cast<QFileDialog*>(&d);
        QVERIFY(fd);
        fd->selectFile(QString::fromStdString(path));
        d.accept();
    };
}

// Watches the progress windows of the script windows: counts them, records
// their titles, and presses Cancel in one when `cancel` is set.
struct ProgressWatch {
    int windows = 0;
    QStringList titles;
    bool cancel = false;
    void attach(ScriptUiContext& context) {
        context.onProgress = [this](qdui::QtProgress& progress) {
            progress.onUpdate = [this](qdui::QtProgress& p) {
                if (!p.dialog()) return;
                if (!titles.contains(p.dialog()->windowTitle())) {
                    ++windows;
                    titles << p.dialog()->windowTitle();
                }
                if (cancel) p.dialog()->cancel();
            };
        };
    }
};

} // namespace

class ScriptWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void listOpensFromTheTaskListsButton();
    void formAndTextGiveTheSameStoredStep();
    void movesAndRenumberingKeepTheOrderOnScreen();
    void aTextWithAFaultyLineIsRefusedWithItsLine();
    void aTemplateWithThreeTokensAsksThreeTimes();
    void badScriptFilesAreRefusedAndTheScriptKept();
    void tenThousandStepsStayUsable();
    void windowHelpersCountMatchesAndFollowThePointer();
    void keyPickerInsertsANameAndThePreviewFollows();
    void otherEntryMustBeCompleted();
    void sendEmailStepTakesTheMessageChosenFromTheList();
    void runningScriptViewShowsTheQueueAndStops();
    void stepByStepRunShowsVariablesAndConditions();
    void longWorkRunsBehindAProgressWindowThatCancelsWithoutATrace();
    void templateListReadsAPageQueriesAndDeletes();
};

void ScriptWindowsTest::listOpensFromTheTaskListsButton() {
    Bench b;
    const int id = b.addTask("Weekly report");
    ScriptWindows scripts(*b.e.frame, *b.context);
    qdschedui::ScheduleWindows schedule(
        *b.e.frame, b.e.ui,
        qdschedui::ScheduleUiContext{
            b.e.ds, b.e.runtime->settings(), b.e.runtime->execution(), b.e.clock, b.e.ui, {}});
    schedule.setScriptEditor([&](int taskId) { scripts.openScripting(taskId); });
    qdschedui::TaskListWindow* list = schedule.openSchedule();
    QVERIFY(list->selectTask(id));
    QPushButton* button = list->button("Scripting");
    QVERIFY(button && button->isEnabled());
    button->click();
    BrowseScriptingWindow* w = nullptr;
    for (QMdiSubWindow* sub : b.e.frame->mdiArea()->subWindowList())
        if (auto* x = qobject_cast<BrowseScriptingWindow*>(sub->widget())) w = x;
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QString("Scripting - Work: Weekly report N/A"));
    // Task 0 is refused with its message.
    QVERIFY(!scripts.openScripting(0));
    QVERIFY(b.sawText("Invalid Schedule ID #0"));
}

void ScriptWindowsTest::formAndTextGiveTheSameStoredStep() {
    Bench b;
    const int viaForm = b.addTask("form");
    const int viaText = b.addTask("text");
    BrowseScriptingWindow* list = BrowseScriptingWindow::forTask(*b.context, viaForm);
    QVERIFY(list);
    b.handlers.push_back([](QDialog& d) {
        Bench::fillForm(d, [](UpdateScriptingDialog& f) {
            f.chooseAction("Start Program");
            f.setField("Program", "gedit");
            f.setField("Start in", "/tmp");
            f.setField("Options", "1221"); // wait, normal priority, minimized with focus, translate
            f.setField("Longest wait (seconds)", "60");
        });
    });
    list->insertStep();
    b.handlers.push_back([](QDialog& d) {
        Bench::fillForm(d, [](UpdateScriptingDialog& f) {
            f.chooseAction("Set Focus");
            f.setField("Window", "Untitled - *");
            f.setField("Containing", "&Save");
        });
    });
    list->insertStep();
    b.handlers.push_back([](QDialog& d) {
        Bench::fillForm(d, [](UpdateScriptingDialog& f) {
            f.chooseAction("Send Keys");
            f.setField("Keystrokes", "Dear [?]Sir,[ENTER]");
        });
    });
    list->insertStep();
    const auto formSteps = b.steps(viaForm);
    QCOMPARE(formSteps.size(), std::size_t(3));

    ScriptTextWindow text(*b.context, qd::taskSteps(viaText), "text");
    text.editor()->setPlainText("START gedit /tmp WAIT=60 MODE=2 /TRANSLATE\n"
                                "FOCUS \"Untitled - *\" &Save\n"
                                "KEYS Dear [?]Sir,[ENTER]\n");
    QVERIFY(text.save());
    const auto textSteps = b.steps(viaText);
    QCOMPARE(textSteps.size(), std::size_t(3));
    for (std::size_t i = 0; i < 3; ++i)
        QCOMPARE(fieldsOf(formSteps[i]), fieldsOf(textSteps[i]));

    // The text of the form's steps, saved back unchanged, stores the same steps.
    ScriptTextWindow again(*b.context, qd::taskSteps(viaForm), "again");
    QVERIFY(again.save());
    const auto back = b.steps(viaForm);
    for (std::size_t i = 0; i < 3; ++i)
        QCOMPARE(fieldsOf(back[i]), fieldsOf(formSteps[i]));
    // And the form opened on a step and closed with OK changes nothing.
    list->refresh();
    QVERIFY(list->selectSequence(back[0].Sequence));
    b.handlers.push_back([](QDialog& d) { Bench::fillForm(d, [](UpdateScriptingDialog&) {}); });
    list->changeStep();
    QCOMPARE(fieldsOf(b.steps(viaForm)[0]), fieldsOf(back[0]));
    delete list;
}

void ScriptWindowsTest::movesAndRenumberingKeepTheOrderOnScreen() {
    Bench b;
    const int id = b.addTask("moves");
    std::vector<qd::ScriptingRecord> steps;
    for (const char* c : {"a", "b", "c"}) {
        qd::ScriptingRecord s;
        s.Action = "Comment";
        s.Command = c;
        s.Sequence = std::max(1, static_cast<std::int32_t>(steps.size()) * 5);
        steps.push_back(s);
    }
    QVERIFY(qd::ReplaceScriptSteps(b.e.ds, qd::tables::Scripting(), id, steps).ok());
    BrowseScriptingWindow* list = BrowseScriptingWindow::forTask(*b.context, id);
    QVERIFY(list->selectSequence(10));
    list->button("MoveUp")->click();
    QCOMPARE(list->selectedSequence(), 5); // the highlight goes with the step
    auto commands = [&] {
        QString out;
        for (const auto& s : b.steps(id))
            out += QString::fromStdString(s.Command) + QString::number(s.Sequence) + " ";
        return out.trimmed();
    };
    QCOMPARE(commands(), QString("a1 c5 b10"));
    list->button("Renumber")->click();
    QCOMPARE(commands(), QString("a1 c2 b3"));
    QCOMPARE(list->selectedSequence(), 2);
    list->button("MoveBottom")->click();
    QCOMPARE(commands(), QString("a1 b2 c3"));
    QCOMPARE(list->selectedSequence(), 3);
    // "Clear All" asks first; No keeps the steps.
    b.answers = {"No"};
    list->button("ClearAll")->click();
    QCOMPARE(b.steps(id).size(), std::size_t(3));
    QVERIFY(b.sawText("Delete all script items for the current task?"));
    b.answers = {"Yes"};
    list->button("ClearAll")->click();
    QCOMPARE(b.steps(id).size(), std::size_t(0));
    QCOMPARE(list->model().rowCount(), 0);
    delete list;
}

void ScriptWindowsTest::aTextWithAFaultyLineIsRefusedWithItsLine() {
    Bench b;
    const int id = b.addTask("text");
    ScriptTextWindow first(*b.context, qd::taskSteps(id), "t");
    first.editor()->setPlainText("KEYS hello\nWAIT 5\n");
    QVERIFY(first.save());
    const auto before = b.steps(id);
    QCOMPARE(before.size(), std::size_t(2));

    ScriptTextWindow w(*b.context, qd::taskSteps(id), "t");
    QCOMPARE(w.editor()->toPlainText(), QString("KEYS hello\nWAIT 5\n"));
    w.editor()->setPlainText("KEYS one\nKEYS two\nWAIT 1\nFOCUS Calc\nKEYS 2+2\nEND\nPRESS ENTER\nEXIT\n");
    QVERIFY(!w.save());
    QCOMPARE(w.errorLine(), 7);
    QVERIFY(b.sawText("Line 7: Unknown script action: PRESS"));
    QCOMPARE(w.editor()->textCursor().blockNumber(), 6); // the cursor stands on the line
    const auto after = b.steps(id);
    QCOMPARE(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i)
        QCOMPARE(fieldsOf(after[i]), fieldsOf(before[i]));
    // Search and replace fixes it: one edit, counted.
    QCOMPARE(replaceAll(w.editor(), "press enter", "KEYS [ENTER]", false), 1);
    QVERIFY(w.save());
    QCOMPARE(b.steps(id).size(), std::size_t(8));
    QCOMPARE(QString::fromStdString(b.steps(id)[6].Keystrokes), QString("[ENTER]"));
}

void ScriptWindowsTest::aTemplateWithThreeTokensAsksThreeTimes() {
    Bench b;
    qd::TOKENQUEUE().clear();
    const int id = b.addTask("from template");
    qd::Table<qd::ScriptTemplatesRecord> t(b.e.ds, qd::tables::ScriptTemplates());
    QVERIFY(t.open() == qd::Level::Benign);
    t.rec = {};
    t.rec.Description = "Log in";
    QVERIFY(t.insert() == qd::Level::Benign);
    const int templateId = t.rec.WIZ_ID;
    t.close();
    std::vector<qd::ScriptingRecord> steps(3);
    steps[0].Action = "Set Focus";
    steps[0].FocusOnWindow = "[?WINDOW Editor]";
    steps[1].Action = "Send Keys";
    steps[1].Keystrokes = "[?Your name][TAB][?]";
    steps[2].Action = "Start Program";
    steps[2].Command = "[?FILE Program]";
    steps[2].DDEApplicationName = "0210";
    for (std::size_t i = 0; i < steps.size(); ++i)
        steps[i].Sequence = static_cast<std::int32_t>(i) + 1;
    QVERIFY(qd::ReplaceScriptSteps(b.e.ds, qd::tables::ScriptTemplateDetails(), templateId, steps).ok());
    b.fake.add("Untitled - Editor");

    BrowseScriptingWindow* list = BrowseScriptingWindow::forTask(*b.context, id);
    QStringList prompts;
    b.handlers.push_back([&](QDialog& d) {
        auto* w = qobject_cast<BrowseScriptTemplatesWindow*>(&d);
        QVERIFY(w);
        QCOMPARE(qd::GLO_SCRIPTWIZARDMODE().load(), 1);
        QVERIFY(w->selectTemplate(templateId));
        w->button("Select")->click();
    });
    auto answer = [&](const QString& value) {
        return [&prompts, value](QDialog& d) {
            auto* p = qobject_cast<TokenPromptDialog*>(&d);
            QVERIFY(p);
            prompts << d.objectName() + " " + d.findChild<QLabel*>("Prompt")->text();
            if (p->windows()) {
                QCOMPARE(p->windows()->count(), 1);
                p->windows()->setCurrentRow(0);
            } else {
                p->valueField()->setText(value);
            }
            p->accept();
        };
    };
    b.handlers.push_back(answer({}));
    b.handlers.push_back(answer("Ann"));
    b.handlers.push_back(answer("/usr/bin/gedit"));
    list->insertTemplate();
    QCOMPARE(qd::GLO_SCRIPTWIZARDMODE().load(), 0);
    QCOMPARE(prompts, QStringList({"TemplateTokenAskWindow Editor:", "TemplateTokenAskText Your name:",
                                   "TemplateTokenAskFile Program:"}));
    const auto added = b.steps(id);
    QCOMPARE(added.size(), std::size_t(3));
    QCOMPARE(QString::fromStdString(added[0].FocusOnWindow), QString("Untitled - Editor"));
    QCOMPARE(QString::fromStdString(added[1].Keystrokes), QString("Ann[TAB]Ann"));
    QCOMPARE(QString::fromStdString(added[2].Command), QString("/usr/bin/gedit"));
    QCOMPARE(QString::fromStdString(added[2].Path), QString("/usr/bin"));
    QCOMPARE(list->model().rowCount(), 3);
    delete list;
}

void ScriptWindowsTest::badScriptFilesAreRefusedAndTheScriptKept() {
    Bench b;
    const int id = b.addTask("imports");
    ScriptTextWindow w(*b.context, qd::taskSteps(id), "t");
    w.editor()->setPlainText("KEYS kept\n");
    QVERIFY(w.save());
    BrowseScriptingWindow* list = BrowseScriptingWindow::forTask(*b.context, id);
    const std::string folder = b.e.dir.path().string();
    struct Bad {
        std::string name;
        std::string content;
        QString expected;
    };
    const Bad bad[] = {
        {"wide.qds", "\"Send Keys\",\"a\"\r\n\"Wait\",\"1\",\"\",\"\",\"\",\"\",\"\",\"x\",\"y\"\r\n",
         "Line 2: The line has more than 7 fields"},
        {"binary.qds",
         std::string("\x7f"
                     "ELF\x02\x01\x01\0\0\0",
                     10) +
             std::string(2000, '\0'),
         "binary data"},
        {"long.qds", "\"Send Keys\",\"" + std::string(1 << 20, 'x') + "\"\r\n", "Line 1: A value is longer"},
    };
    for (const Bad& f : bad) {
        const std::string path = folder + "/" + f.name;
        writeFile(path, f.content);
        b.seen.clear();
        b.handlers.push_back([path](QDialog& d) {
            auto* fd = qobject_cast<QFileDialog*>(&d);
            QVERIFY(fd);
            fd->selectFile(QString::fromStdString(path));
            d.accept(); // QFileDialog's own accept, through the public base
        });
        list->importFile();
        QVERIFY2(b.sawText(f.expected),
                 qPrintable(QString::fromStdString(f.name) + ": " + b.seen.join(" / ").left(300)));
        QVERIFY(b.sawText("Import Error"));
        QCOMPARE(b.steps(id).size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(b.steps(id)[0].Keystrokes), QString("kept"));
    }
    // A good file is added after the steps there.
    const std::string good = folder + "/good.qds";
    writeFile(good, "\"Send Keys\",\"more\"\r\n\"Exit Script\"\r\n");
    b.handlers.push_back([good](QDialog& d) {
        auto* fd = qobject_cast<QFileDialog*>(&d);
        QVERIFY(fd);
        fd->selectFile(QString::fromStdString(good));
        d.accept();
    });
    list->importFile();
    QCOMPARE(b.steps(id).size(), std::size_t(3));
    QCOMPARE(list->model().rowCount(), 3);
    delete list;
}

void ScriptWindowsTest::tenThousandStepsStayUsable() {
    Bench b;
    const int id = b.addTask("long");
    // A pasted text of 10,000 lines is saved as 10,000 steps.
    QString text;
    for (int i = 1; i <= 10000; ++i)
        text += QString("KEYS line %1\r\n").arg(i);
    {
        ScriptTextWindow w(*b.context, qd::taskSteps(id), "t");
        w.editor()->setPlainText(text);
        QVERIFY(w.save());
    }
    QCOMPARE(b.steps(id).size(), std::size_t(10000));
    BrowseScriptingWindow* list = BrowseScriptingWindow::forTask(*b.context, id);
    // The list reads a page, not the script.
    QVERIFY(list->model().rowCount() <= StepListModel::kPageSize);
    QVERIFY(list->model().canFetchMore({}));
    QVERIFY(list->selectSequence(9999));
    list->button("MoveDown")->click();
    QCOMPARE(list->selectedSequence(), 10000);
    const auto steps = b.steps(id);
    QCOMPARE(QString::fromStdString(steps[9999].Keystrokes), QString("line 9999"));
    QCOMPARE(QString::fromStdString(steps[9998].Keystrokes), QString("line 10000"));
    // A faulty paste of 10,000 lines is refused as a whole.
    {
        ScriptTextWindow w(*b.context, qd::taskSteps(id), "t");
        w.editor()->setPlainText(text + "BOGUS\r\n");
        QVERIFY(!w.save());
        QCOMPARE(w.errorLine(), 10001);
    }
    QCOMPARE(b.steps(id).size(), std::size_t(10000));
    delete list;
}

void ScriptWindowsTest::windowHelpersCountMatchesAndFollowThePointer() {
    Bench b;
    const qd::WindowHandle notepad = b.fake.add("Untitled - Notepad", true, "Notepad");
    b.fake.add("Untitled - Gedit", true, "Gedit");
    b.fake.add("Calculator", true, "Calc");
    b.fake.addChild(notepad, "&Save", "Button", 5001);
    const int id = b.addTask("windows");
    qd::ScriptingRecord s{};
    s.ID = id;
    s.Action = "Set Focus";
    UpdateScriptingDialog d(*b.context, qd::taskSteps(id), s, true);
    auto* window = qobject_cast<QLineEdit*>(d.field("Window"));
    QVERIFY(window);
    window->setText("Untitled - *");
    QCOMPARE(d.matchCount()->text(), QString("matches 2 windows"));
    window->setText("calculator");
    QCOMPARE(d.matchCount()->text(), QString("matches 1 window"));
    window->setText("Nothing here");
    QCOMPARE(d.matchCount()->text(), QString("matches no window"));
    // The pointer display shows the window and control under the pointer, and "Use" takes its title.
    QVERIFY(d.pointerDisplay() && !d.pointerDisplay()->isHidden());
    b.fake.pointer = {notepad, 5001};
    d.pointerDisplay()->sample();
    QCOMPARE(d.pointerDisplay()->field(0)->text(), QString("Untitled - Notepad"));
    QCOMPARE(d.pointerDisplay()->field(1)->text(), QString("Notepad"));
    QCOMPARE(d.pointerDisplay()->field(2)->text(), QString("&Save"));
    d.findChild<QPushButton*>("UsePointerWindow")->click();
    QCOMPARE(window->text(), QString("Untitled - Notepad"));
    // The child picker lists the texts of the window the pattern finds.
    b.handlers.push_back([](QDialog& dlg) {
        auto* p = qobject_cast<ChildPickerDialog*>(&dlg);
        QVERIFY(p);
        QCOMPARE(p->list()->count(), 1);
        p->accept();
    });
    d.findChild<QToolButton*>("PickChild")->click();
    QCOMPARE(qobject_cast<QLineEdit*>(d.field("Containing"))->text(), QString("&Save"));
    // The window picker lists the windows front to back.
    b.handlers.push_back([](QDialog& dlg) {
        auto* p = qobject_cast<WindowPickerDialog*>(&dlg);
        QVERIFY(p);
        QCOMPARE(p->list()->count(), 3);
        QVERIFY(p->list()->item(0)->text().startsWith("Untitled - Notepad"));
        p->list()->setCurrentRow(2);
        p->accept();
    });
    d.findChild<QToolButton*>("PickWindow")->click();
    QCOMPARE(window->text(), QString("Calculator"));
    // Not on a step that names no window.
    d.chooseAction("Comment");
    QVERIFY(d.pointerDisplay()->isHidden());
}

void ScriptWindowsTest::keyPickerInsertsANameAndThePreviewFollows() {
    Bench b;
    const int id = b.addTask("keys");
    qd::ScriptingRecord s{};
    s.ID = id;
    UpdateScriptingDialog d(*b.context, qd::taskSteps(id), s, true);
    QCOMPARE(d.actionBox()->currentText(), QString("Send Keys"));
    QVERIFY(!d.help().isEmpty());
    auto* keys = qobject_cast<QLineEdit*>(d.field("Keystrokes"));
    QVERIFY(keys);
    keys->setText("ab");
    b.handlers.push_back([](QDialog& dlg) {
        auto* p = qobject_cast<KeyPickerDialog*>(&dlg);
        QVERIFY(p);
        p->modifier(1)->setChecked(true);
        p->list()->setCurrentItem(p->list()->findItems("S", Qt::MatchExactly).front());
        p->accept();
    });
    d.findChild<QToolButton*>("PickKeys")->click();
    QCOMPARE(keys->text(), QString("ab[CtrlS]"));
    QVERIFY(d.preview()->text().contains("Press Ctrl+S"));
    QVERIFY(d.preview()->text().contains("Type \"ab\""));
    // Help follows the action.
    const QString keysHelp = d.help();
    d.chooseAction("Wait");
    QVERIFY(d.help() != keysHelp);
    QCOMPARE(qobject_cast<QComboBox*>(d.field("Mode"))->currentText(), QString("Either"));
    QVERIFY(d.preview()->isHidden());
}

void ScriptWindowsTest::otherEntryMustBeCompleted() {
    Bench b;
    const int id = b.addTask("other");
    qd::ScriptingRecord s{};
    s.ID = id;
    UpdateScriptingDialog d(*b.context, qd::taskSteps(id), s, true);
    d.chooseAction("Other");
    d.accept();
    QVERIFY(b.sawText("\"Other\" script item not recorded correctly.  Re-enter."));
    QCOMPARE(d.result(), 0);
    d.chooseAction("Other", "Exit Script");
    QCOMPARE(QString::fromStdString(d.step().Action), QString("Exit Script"));
    // A required field names its prompt.
    b.seen.clear();
    d.chooseAction("Set Value");
    d.accept();
    QVERIFY(b.sawText("Variable must be entered."));
}

void ScriptWindowsTest::sendEmailStepTakesTheMessageChosenFromTheList() {
    Bench b;
    const int id = b.addTask("mail");
    qd::ScriptingRecord s{};
    s.ID = id;
    {
        // Without the messages list the choice is not offered.
        UpdateScriptingDialog d(*b.context, qd::taskSteps(id), s, true);
        d.chooseAction("Send Email");
        QVERIFY(!d.findChild<QToolButton*>("PickMessage")->isEnabled());
    }
    int asked = 0;
    b.context->pickMessage = [&asked](QWidget*) -> std::optional<PickedMessage> {
        return ++asked == 1 ? std::optional<PickedMessage>(PickedMessage{7, "Report - bob@example.org"})
                            : std::nullopt;
    };
    UpdateScriptingDialog d(*b.context, qd::taskSteps(id), s, true);
    d.chooseAction("Send Email");
    d.findChild<QToolButton*>("PickMessage")->click();
    qd::ScriptingRecord step = d.step();
    QCOMPARE(step.EmailID, 7);
    QCOMPARE(QString::fromStdString(step.WindowTitleToCheckFor), QString("Report - bob@example.org"));
    // Closing the list without a choice leaves the step as it was.
    d.findChild<QToolButton*>("PickMessage")->click();
    QCOMPARE(asked, 2);
    QCOMPARE(d.step().EmailID, 7);
}

void ScriptWindowsTest::runningScriptViewShowsTheQueueAndStops() {
    Bench b;
    const int id = b.addTask("queued");
    std::vector<qd::ScriptingRecord> steps(2);
    steps[0].Action = "Wait";
    steps[0].WaitForWindow = "Connect To";
    steps[0].DDEApplicationName = "Both";
    steps[1].Action = "Send Keys";
    steps[1].Keystrokes = "x";
    for (auto& s : steps)
        s.ID = id;
    b.e.runtime->scripts().queueSteps(steps);
    CurrentScriptWindow w(*b.context);
    QCOMPARE(w.table()->rowCount(), 3); // the two steps and the end marker
    QCOMPARE(w.table()->item(0, 0)->text(), QString("#%1 queued").arg(id));
    QCOMPARE(w.table()->item(0, 4)->text().left(6), QString("Due at"));
    b.e.clock.set({b.e.clock.today(), b.e.clock.clockTime() + 500});
    w.refresh();
    QCOMPARE(w.table()->item(0, 4)->text(), QString("Waiting for \"Connect To\""));
    w.findChild<QPushButton*>("StopScripts")->click();
    QCOMPARE(b.e.runtime->scripts().queue().size(), std::size_t(0));
    QCOMPARE(w.table()->rowCount(), 0);
}

void ScriptWindowsTest::stepByStepRunShowsVariablesAndConditions() {
    Bench b;
    const int id = b.addTask("debug");
    ScriptTextWindow text(*b.context, qd::taskSteps(id), "t");
    text.editor()->setPlainText("SET DEBUGA 5\nIF DEBUGA = 6\nSET DEBUGB 1\nEND\nSET DEBUGC 2\n");
    QVERIFY(text.save());
    DebugRunWindow w(*b.context, id, "debug");
    QCOMPARE(w.remaining(), 6);
    QVERIFY(w.step());
    QVERIFY(w.lastStep()->text().contains("Set Value"));
    bool found = false;
    for (int r = 0; r < w.variables()->rowCount(); ++r)
        found = found ||
                (w.variables()->item(r, 0)->text() == "DEBUGA" && w.variables()->item(r, 1)->text() == "5");
    QVERIFY(found);
    QVERIFY(w.step());
    QVERIFY2(w.lastStep()->text().contains("Condition false"), qPrintable(w.lastStep()->text()));
    QVERIFY(w.step()); // the End If
    QVERIFY(w.step()); // SET DEBUGC
    QCOMPARE(QString::fromStdString(qd::VARQ().text("DEBUGB")), QString());
    QCOMPARE(QString::fromStdString(qd::VARQ().text("DEBUGC")), QString("2"));
    // The program's own queue was not used.
    QCOMPARE(b.e.runtime->scripts().queue().size(), std::size_t(0));
}

void ScriptWindowsTest::longWorkRunsBehindAProgressWindowThatCancelsWithoutATrace() {
    Bench b;
    const int id = b.addTask("long imports");
    {
        ScriptTextWindow w(*b.context, qd::taskSteps(id), "t");
        w.editor()->setPlainText("KEYS kept\n");
        QVERIFY(w.save());
    }
    const std::string folder = b.e.dir.path().string();
    const std::string file = folder + "/eight-hundred.qds";
    std::string lines;
    for (int i = 1; i <= 800; ++i)
        lines += "\"Send Keys\",\"k" + std::to_string(i) + "\"\r\n";
    writeFile(file, lines);
    ProgressWatch watch;
    watch.attach(*b.context);
    BrowseScriptingWindow* list = BrowseScriptingWindow::forTask(*b.context, id);

    // Cancelled: the script is as it was, and no error is reported.
    watch.cancel = true;
    b.handlers.push_back(chooseFile(file));
    list->importFile();
    QCOMPARE(watch.titles, QStringList({"Processing Records"}));
    QCOMPARE(b.steps(id).size(), std::size_t(1));
    QVERIFY2(!b.sawText("Error"), qPrintable(b.seen.join(" / ")));
    // Run to its end: every step, after the one there.
    watch.cancel = false;
    b.handlers.push_back(chooseFile(file));
    list->importFile();
    QCOMPARE(b.steps(id).size(), std::size_t(801));
    QCOMPARE(QString::fromStdString(b.steps(id)[800].Keystrokes), QString("k800"));

    // A cancelled export writes no file.
    const std::string out = folder + "/out.qds";
    watch.cancel = true;
    b.handlers.push_back(chooseFile(out));
    list->exportFile();
    QVERIFY(!std::filesystem::exists(out));
    watch.cancel = false;
    b.handlers.push_back(chooseFile(out));
    list->exportFile();
    QVERIFY(std::filesystem::exists(out));

    // A template copy cancelled while its steps are written adds none.
    qd::Table<qd::ScriptTemplatesRecord> t(b.e.ds, qd::tables::ScriptTemplates());
    QVERIFY(t.open() == qd::Level::Benign);
    t.rec = {};
    t.rec.Description = "Many keys";
    QVERIFY(t.insert() == qd::Level::Benign);
    const int templateId = t.rec.WIZ_ID;
    t.close();
    QVERIFY(qd::ImportScript(b.e.ds, qd::tables::ScriptTemplateDetails(), templateId, file, nullptr).added ==
            800);
    const int windowsBefore = watch.windows;
    watch.cancel = true;
    b.handlers.push_back([&](QDialog& d) {
        auto* w = qobject_cast<BrowseScriptTemplatesWindow*>(&d);
        QVERIFY(w);
        QVERIFY(w->selectTemplate(templateId));
        w->button("Select")->click();
    });
    list->insertTemplate();
    QCOMPARE(b.steps(id).size(), std::size_t(801));
    QVERIFY(watch.windows >= windowsBefore);
    delete list;
}

void ScriptWindowsTest::templateListReadsAPageQueriesAndDeletes() {
    Bench b;
    std::vector<int> ids;
    {
        qd::Table<qd::ScriptTemplatesRecord> t(b.e.ds, qd::tables::ScriptTemplates());
        QVERIFY(t.open() == qd::Level::Benign);
        QVERIFY(t.file()->begin() == 0);
        for (int i = 1; i <= 1500; ++i) {
            t.rec = {};
            t.rec.Description = QString("Template %1").arg(i, 4, 10, QChar('0')).toStdString();
            QVERIFY(t.insert() == qd::Level::Benign);
            ids.push_back(t.rec.WIZ_ID);
        }
        QVERIFY(t.file()->commit() == 0);
        QVERIFY(qd::ReplaceScriptSteps(b.e.ds, qd::tables::ScriptTemplateDetails(), ids[1399],
                                       {qd::ScriptingRecord{}, qd::ScriptingRecord{}})
                    .ok());
    }
    BrowseScriptTemplatesWindow w(*b.context, false);
    // Counted by the store, a page read: not the 1,500 templates.
    QCOMPARE(w.model()->rowCount(), 1500);
    QVERIFY2(w.model()->scanned() <= 101, qPrintable(QString::number(w.model()->scanned())));
    QCOMPARE(w.selectedTemplate(), ids[0]);
    // A template far down is found by its row in the store's order.
    QVERIFY(w.selectTemplate(ids[1399]));
    QCOMPARE(w.list()->currentIndex().row(), 1399);
    QCOMPARE(w.list()->currentIndex().data().toString(), QString("Template 1400"));
    QVERIFY2(w.model()->scanned() <= 401, qPrintable(QString::number(w.model()->scanned()))); // a few pages

    // "&Query" narrows the list; "R&eset" brings every template back.
    qd::FieldCondition c;
    c.field = qd::tables::ScriptTemplates().findField("Description");
    c.match = qd::FieldMatch::Contains;
    c.value = std::string("140");
    w.queryBar()->setQuery({c});
    QCOMPARE(w.model()->rowCount(), 12); // 0140, 1140 and 1400 ... 1409
    QVERIFY(w.queryBar()->shown()->isVisibleTo(&w));
    QVERIFY(w.selectTemplate(ids[1399]));
    QCOMPARE(w.list()->currentIndex().row(), 2);
    QVERIFY(!w.selectTemplate(ids[0])); // not in the query

    // Deleting takes the template and its steps.
    b.answers = {"Yes"};
    QVERIFY(w.selectTemplate(ids[1399]));
    w.deleteTemplate();
    QCOMPARE(w.model()->rowCount(), 11);
    QVERIFY(qd::LoadScriptSteps(b.e.ds, qd::tables::ScriptTemplateDetails(), ids[1399]).steps.empty());
    w.queryBar()->resetButton()->click();
    QCOMPARE(w.model()->rowCount(), 1499);
}

QTEST_MAIN(ScriptWindowsTest)
#include "ScriptWindowsTest.moc"
