// The hot-key and clipboard windows driven as a person would, on a data set on
// disk: the hot-key form's boxes, capture field and warning; the Clipboard
// Manager's tabs, search, Toggle Save, delete question, copy back and Run; the
// clipboard categories with their relation rules.
#include "UiTestSupport.h"

#include "clipboard/ClipboardSaver.h"
#include "clipboard/ui/ClipboardWindows.h"
#include "data/StoreTransaction.h"
#include "data/TableDefs.h"
#include "hotkeys/HotKeyNames.h"
#include "hotkeys/ui/HotKeyWindows.h"
#include "platform/fake/FakeClipboard.h"
#include "platform/fake/FakeHotKeys.h"
#include "platform/fake/FakeKeyboard.h"
#include "script/Keystrokes.h"
#include "ui/QueryDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>

namespace {

struct Bench {
    using Answer = std::function<void(QDialog&)>;

    Bench() : sender(keyboard) {
        QVERIFY(e.runtime->open());
        qd::HotKeyEnvironment env;
        env.ds = &e.ds;
        env.ui = &e.ui;
        env.frame = e.frame.get();
        env.keyboard = &keyboard;
        env.keys = &sender;
        env.clipboard = &clipboard;
        service = std::make_unique<qd::HotKeyService>(system, env);
        e.ui.setDialogHook([this](QDialog& d) {
            const auto* box = qobject_cast<QMessageBox*>(&d);
            seen << d.windowTitle() + (box ? ": " + box->text() : QString());
            QPointer<QDialog> dialog(&d);
            Answer answer;
            if (!answers.empty()) {
                answer = std::move(answers.front());
                answers.pop_front();
            }
            QTimer::singleShot(0, [dialog, answer] {
                QDialog* open = dialog.data();
                if (open == nullptr || !open->isVisible()) return;
                if (answer)
                    answer(*open);
                else
                    open->reject();
            });
        });
    }
    void press(const QString& button) {
        answers.push_back([button](QDialog& d) {
            if (!qduitest::pressButton(d, button)) d.reject();
        });
    }
    qduitest::Engine e;
    qd::FakeHotKeys system;
    qd::FakeKeyboard keyboard;
    qd::FakeClipboard clipboard;
    qd::KeystrokeSender sender;
    std::unique_ptr<qd::HotKeyService> service;
    std::deque<Answer> answers;
    QStringList seen;
};

std::vector<qd::ClipboardRecord> clipEntries(qd::DataSet& ds) {
    std::vector<qd::ClipboardRecord> out;
    qd::Table<qd::ClipboardRecord> t(ds, qd::tables::Clipboard());
    t.open();
    t.setOrder(t.def().findKey("KeyClipDate"));
    while (t.next() == qd::Level::Benign)
        out.push_back(t.rec);
    return out;
}

} // namespace

class HotKeyClipWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void hotKeyFormBuildsTheCombinationAndWarnsWhenItIsTaken() {
        Bench b;
        b.system.heldElsewhere.insert({qd::hotmod::kCtrl | qd::hotmod::kAlt, 'Q'});
        qdhotkeyui::HotKeyUiContext ctx{
            b.e.ds, b.e.ui, b.e.runtime->settings(), b.e.clock, b.service.get(), &b.system, {}, {}};
        int reregistered = 0;
        ctx.reregister = [&] { ++reregistered; };
        qd::SysHotKeysRecord r{};
        qdhotkeyui::HotKeyForm form(ctx, r, true);
        // Captured by pressing it: the boxes and the key name follow.
        QTest::keyClick(form.capture(), Qt::Key_Q, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(form.ctrlBox()->isChecked());
        QVERIFY(form.altBox()->isChecked());
        QVERIFY(!form.shiftBox()->isChecked());
        QCOMPARE(form.keyName()->currentText(), QString("Q"));
        QCOMPARE(form.combination(), std::string("Ctrl-Alt-Q"));
        QVERIFY(form.warning()->text().contains("Another program"));
        // A free one: no warning.
        form.altBox()->setChecked(false);
        QVERIFY(form.warning()->text().isEmpty());
        QTest::keyClick(form.capture(), Qt::Key_F7, Qt::ShiftModifier | Qt::MetaModifier);
        QCOMPARE(form.combination(), std::string("Win-Shift-F7"));

        // Saved with an empty description: it becomes the combination; the keys re-register.
        form.action()->setCurrentIndex(1);
        form.textType()->setCurrentText("PASTE");
        form.text()->setPlainText("Kind regards");
        form.description()->clear();
        form.accept();
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(reregistered, 1);
        qd::Table<qd::SysHotKeysRecord> t(b.e.ds, qd::tables::SysHotKeys());
        QCOMPARE(t.open(), qd::Level::Benign);
        t.rec.HotKey = "Win-Shift-F7";
        QCOMPARE(t.fetch("K_HotKey"), qd::Level::Benign);
        QCOMPARE(t.rec.Description, std::string("Win-Shift-F7"));
        QCOMPARE(t.rec.QuickText, std::string("Win-Shift-F7 : Kind regards"));
        QCOMPARE(t.rec.TextType, std::string("PASTE"));

        // Opening it again splits the combination back into the boxes.
        qdhotkeyui::HotKeyForm again(ctx, t.rec, false);
        QVERIFY(again.winBox()->isChecked());
        QVERIFY(again.shiftBox()->isChecked());
        QVERIFY(!again.ctrlBox()->isChecked());
        QCOMPARE(again.keyName()->currentText(), QString("F7"));
        QCOMPARE(again.action()->currentText(), QString("Text"));

        // A second hot key on the same combination is refused by the key; the form stays.
        qdhotkeyui::HotKeyForm dup(ctx, r, true);
        QTest::keyClick(dup.capture(), Qt::Key_F7, Qt::ShiftModifier | Qt::MetaModifier);
        dup.accept();
        QVERIFY(dup.result() != int(QDialog::Accepted));
        QVERIFY(!b.seen.isEmpty());
    }

    void hotKeyListShowsRegisteredAndRefused() {
        Bench b;
        b.system.heldElsewhere.insert({qd::hotmod::kCtrl | qd::hotmod::kAlt, 'G'});
        qd::SysHotKeysRecord r{};
        r.Active = 1;
        r.Action = "Text";
        r.TextType = "TYPE";
        for (const char* k : {"Ctrl-Alt-G", "Ctrl-Alt-H", "Ctrl-Alt-Nope"}) {
            r.HotKey = k;
            r.Description = "";
            QVERIFY(qdhotkeyui::saveHotKey(b.e.ds, {}, r));
        }
        b.service->registerAll();
        qdhotkeyui::HotKeyUiContext ctx{
            b.e.ds, b.e.ui, b.e.runtime->settings(), b.e.clock, b.service.get(), &b.system, {}, {}};
        qdhotkeyui::BrowseHotKeysWindow w(ctx);
        auto* m = w.model();
        QCOMPARE(m->rowCount(), 3);
        const auto state = [&](const char* k) { return m->index(m->rowOf(k), 2).data().toString(); };
        QCOMPARE(state("Ctrl-Alt-H"), QString("Registered"));
        QCOMPARE(state("Ctrl-Alt-G"), QString("Refused: held by another program"));
        QCOMPARE(state("Ctrl-Alt-Nope"), QString("Unknown key"));
    }

    void clipboardManagerTabsSearchSaveAndDelete() {
        Bench b;
        qd::ProgramSettings& s = b.e.runtime->settings();
        s.MaxClipboardEntries = 0;
        qd::ClipboardSaver saver(b.e.ds, s, b.e.clock);
        for (const char* t : {"Alpha Note", "Visit http://example.org Now", "Beta Memo", "Charlie Text"}) {
            b.e.clock.advanceSeconds(5);
            QCOMPARE(saver.capture(t, "Editor"), qd::CaptureOutcome::Stored);
        }
        std::vector<std::string> started;
        qdclipui::ClipboardUiContext ctx{b.e.ds, b.e.ui, b.e.clock, b.clipboard,
                                         [&](const std::string& what) { started.push_back(what); }};
        qdclipui::ClipboardManagerWindow w(ctx);
        w.show();
        QCOMPARE(w.windowTitle(), QString("Clipboard Manager"));
        auto* m = w.model();
        QCOMPARE(m->rowCount(), 4);
        QCOMPARE(m->record(0).ClipContents, std::string("Charlie Text")); // newest first
        // The address is drawn in blue.
        const int url = 2;
        QCOMPARE(m->record(url).ClipContents, std::string("Visit http://example.org Now"));
        QVERIFY(m->index(url, 1).data(Qt::UserRole + 2).toBool());
        QVERIFY(!m->index(0, 1).data(Qt::UserRole + 2).toBool());

        // Run starts the address only.
        w.selectRow(url);
        w.runPressed();
        QCOMPARE(started, std::vector<std::string>{"http://example.org"});
        // Copy to Clipboard puts the text back.
        w.copyPressed();
        QCOMPARE(b.clipboard.text(), std::string("Visit http://example.org Now"));

        // By Content: hash key order.
        w.tabs()->setCurrentIndex(1);
        QCOMPARE(m->record(0).ClipContents, std::string("Alpha Note"));
        // Search narrows the list.
        w.tabs()->setCurrentIndex(0);
        w.search()->setText("memo");
        QCOMPARE(m->rowCount(), 1);
        w.search()->clear();
        QCOMPARE(m->rowCount(), 4);

        // Toggle Save, then the Saved Only tab shows it.
        w.selectRow(3);
        const std::string kept = m->record(3).ClipContents;
        w.toggleSavePressed();
        w.tabs()->setCurrentIndex(3);
        QCOMPARE(m->rowCount(), 1);
        QCOMPARE(m->record(0).ClipContents, kept);
        // Deleting a saved entry asks first; No keeps it.
        w.selectRow(0);
        b.press("No");
        w.deletePressed();
        QVERIFY(b.seen.last().contains("has a \"Save\" indicator"));
        QCOMPARE(m->rowCount(), 1);
        b.press("Yes");
        w.deletePressed();
        QCOMPARE(m->rowCount(), 0);
        QCOMPARE(clipEntries(b.e.ds).size(), std::size_t(3));
    }

    void clipboardManagerShowsALongListAtOnceAndKeepsItsPlace() {
        Bench b;
        // 1,500 entries, oldest first, in one transaction.
        {
            qd::Table<qd::ClipboardRecord> t(b.e.ds, qd::tables::Clipboard());
            QCOMPARE(t.open(), qd::Level::Benign);
            qd::StoreTransaction tx(t);
            QVERIFY(tx.started());
            for (int i = 0; i < 1500; ++i) {
                t.rec = qd::ClipboardRecord{};
                // Capitals of its own for each: the hash keys differ.
                const std::string mark = {static_cast<char>('A' + i % 26),
                                          static_cast<char>('A' + i / 26 % 26),
                                          static_cast<char>('A' + i / 676)};
                t.rec.ClipContents =
                    "Entry " + std::to_string(i) + " " + mark + (i % 10 == 7 ? " Seven" : "");
                t.rec.ClipHashKey = qd::ClipHashKey(t.rec.ClipContents);
                t.rec.ClipDate = 80000 + i / 1000;
                t.rec.ClipTime = 1 + (i % 1000) * 100;
                t.rec.Category = "General";
                QCOMPARE(t.insert(), qd::Level::Benign);
            }
            QCOMPARE(tx.commit(), qd::Level::Benign);
        }
        qdclipui::ClipboardUiContext ctx{b.e.ds, b.e.ui, b.e.clock, b.clipboard, {}};
        qdclipui::ClipboardManagerWindow w(ctx);
        w.show();
        auto* m = w.model();
        QCOMPARE(m->rowCount(), 1500); // counted, not fetched in pieces
        QVERIFY(!m->canFetchMore({}));
        QCOMPARE(m->record(1499).ClipContents, std::string("Entry 0 AAA"));
        QCOMPARE(m->record(0).ClipContents.substr(0, 11), std::string("Entry 1499 "));
        // An entry far down keeps its place through a change.
        w.selectRow(1400);
        const std::string there = m->record(1400).ClipContents;
        w.toggleSavePressed();
        QCOMPARE(w.currentRow(), 1400);
        QCOMPARE(m->record(w.currentRow()).ClipContents, there);
        QCOMPARE(m->rowOf(m->record(1400)), 1400);
        // The query bar narrows the list in the store, with the search on top of it.
        w.queryBar()->setQuery({{qd::tables::Clipboard().findField("ClipContents"),
                                 qd::FieldMatch::Contains,
                                 std::string("Seven"),
                                 {},
                                 {}}});
        QCOMPARE(m->rowCount(), 150);
        w.search()->setText("Entry 14");
        QCOMPARE(m->rowCount(), 11); // 147, 1407, 1417 ... 1497
        w.queryBar()->setQuery({});
        QCOMPARE(m->rowCount(), 111); // "Entry 14", "Entry 140".."149", "Entry 1400".."1499"
    }

    void clipboardFormRecomputesTheHashAndChecksTheCategory() {
        Bench b;
        qd::ClipboardSaver saver(b.e.ds, b.e.runtime->settings(), b.e.clock);
        QCOMPARE(saver.capture("First Entry", ""), qd::CaptureOutcome::Stored);
        QCOMPARE(saver.capture("Second Entry", ""), qd::CaptureOutcome::Stored);
        qdclipui::ClipboardUiContext ctx{b.e.ds, b.e.ui, b.e.clock, b.clipboard, {}};
        const auto entries = clipEntries(b.e.ds);
        qd::ClipboardRecord second = entries[0].ClipContents == "Second Entry" ? entries[0] : entries[1];

        // Edited to a text whose hash key another entry has: the duplicate-key message, the form stays.
        qdclipui::ClipboardRecordForm dup(ctx, qdclipui::ClipboardRecordForm::Mode::Edit, second);
        dup.contents()->setPlainText("first entry FE");
        dup.accept();
        QVERIFY(dup.result() != int(QDialog::Accepted));

        // An unknown category opens the pick list; Cancel keeps the form open.
        qdclipui::ClipboardRecordForm form(ctx, qdclipui::ClipboardRecordForm::Mode::Edit, second);
        form.contents()->setPlainText("Changed Text");
        form.category()->setText("Nowhere");
        b.seen.clear();
        form.accept();
        QVERIFY(b.seen.contains("Select a Category"));
        QVERIFY(form.result() != int(QDialog::Accepted));
        form.category()->setText("General");
        form.accept();
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(form.record().ClipHashKey, std::string("CT"));

        // View mode: nothing to edit, the button says Close.
        qdclipui::ClipboardRecordForm view(ctx, qdclipui::ClipboardRecordForm::Mode::View, form.record());
        QVERIFY(view.contents()->isReadOnly());
        QVERIFY(!view.keep()->isEnabled());
    }

    void clipboardCategoriesRenameCascadesAndDeleteIsRestricted() {
        Bench b;
        qdclipui::ClipboardUiContext ctx{b.e.ds, b.e.ui, b.e.clock, b.clipboard, {}};
        qdclipui::ClipboardCategoriesWindow w(ctx);
        QVERIFY(w.addCategory("Work"));
        QVERIFY(w.addCategory("Home"));
        QCOMPARE(qd::addClipboardEntry(b.e.ds, b.e.runtime->settings(), b.e.clock, "Office Memo", "Work"),
                 qd::CaptureOutcome::Stored);
        w.categories()->setCurrentRow(
            w.categories()->row(w.categories()->findItems("Work", Qt::MatchExactly)[0]));
        QCOMPARE(w.entries()->model()->rowCount(), 1);
        QVERIFY(w.renameCategory("Work", "Job"));
        QCOMPARE(clipEntries(b.e.ds).at(0).Category, std::string("Job"));
        b.press("Yes");
        QVERIFY(!w.deleteCategory("Job")); // entries still use it
        b.answers.clear();
        b.press("Yes");
        QVERIFY(w.deleteCategory("Home"));
        QCOMPARE(qd::clipCategories(b.e.ds), std::vector<std::string>{"Job"});
    }
};

QTEST_MAIN(HotKeyClipWindowsTest)
#include "HotKeyClipWindowsTest.moc"
