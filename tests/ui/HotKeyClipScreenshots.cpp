// Draws the hot-key and clipboard windows with sample data into PNG files for
// the documentation: qd_hotkey_screenshots OUTPUT_FOLDER
#include "UiTestSupport.h"

#include "clipboard/ClipboardSaver.h"
#include "clipboard/ui/ClipboardWindows.h"
#include "hotkeys/ui/HotKeyWindows.h"
#include "platform/fake/FakeClipboard.h"
#include "platform/fake/FakeHotKeys.h"
#include "platform/fake/FakeKeyboard.h"
#include "script/Keystrokes.h"

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

#include <iostream>

namespace {

bool grabChild(QWidget* w, const QString& file) {
    QApplication::processEvents();
    QWidget* frame = w->parentWidget() ? w->parentWidget() : w;
    return frame->grab().save(file);
}

QWidget* addChild(qdui::MainFrame& frame, QWidget* w, QSize size) {
    QMdiSubWindow* sub = frame.mdiArea()->addSubWindow(w);
    sub->resize(size);
    sub->show();
    return w;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: qd_hotkey_screenshots OUTPUT_FOLDER\n";
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    qduitest::Engine e;
    if (!e.runtime->open()) return 1;
    e.frame->resize(1000, 640);
    e.frame->show();

    qd::FakeHotKeys system;
    system.heldElsewhere.insert({qd::hotmod::kCtrl | qd::hotmod::kAlt, 'G'});
    qd::FakeKeyboard keyboard;
    qd::FakeClipboard clipboard;
    qd::KeystrokeSender sender(keyboard);
    qd::HotKeyEnvironment env;
    env.ds = &e.ds;
    env.keyboard = &keyboard;
    env.keys = &sender;
    env.clipboard = &clipboard;
    qd::HotKeyService service(system, env);
    const struct {
        const char* key;
        const char* description;
        const char* action;
        const char* type;
        const char* text;
    } samples[] = {
        {"Ctrl-Alt-S", "Signature", "Text", "TYPE", "Best regards, Ann Miller"},
        {"Ctrl-Alt-A", "Office address", "Text", "PASTE", "12 Harbour Street, Springfield"},
        {"Ctrl-Alt-G", "Greeting", "Text", "COPY", "Good morning everyone,"},
        {"Win-F9", "Backup now", "Task", "", ""},
    };
    for (const auto& s : samples) {
        qd::SysHotKeysRecord r{};
        r.HotKey = s.key;
        r.Active = 1;
        r.Description = s.description;
        r.Action = s.action;
        r.TextType = s.type;
        r.Text = s.text;
        qdhotkeyui::saveHotKey(e.ds, {}, r);
    }
    service.registerAll();
    qdhotkeyui::HotKeyUiContext hk{e.ds, e.ui, e.runtime->settings(), e.clock, &service, &system, {}, {}};
    bool ok = true;
    auto* hotKeys = addChild(*e.frame, new qdhotkeyui::BrowseHotKeysWindow(hk), QSize(780, 260));
    ok = grabChild(hotKeys, out + "/hot-keys.png") && ok;

    qd::SysHotKeysRecord first{};
    first.HotKey = "Ctrl-Alt-G";
    first.Active = 1;
    first.Description = "Greeting";
    first.Action = "Text";
    first.TextType = "COPY";
    first.Text = "Good morning everyone,";
    qdhotkeyui::HotKeyForm form(hk, first, false);
    form.show();
    QApplication::processEvents();
    ok = form.grab().save(out + "/hot-key-form.png") && ok;

    qd::ProgramSettings& settings = e.runtime->settings();
    settings.MaxClipboardEntries = 0;
    qd::ClipboardSaver saver(e.ds, settings, e.clock);
    const char* clips[][2] = {
        {"Meeting moved to Thursday 10:00, room B", "Mail - Inbox"},
        {"Report Q3: http://intranet.example.org/reports/q3", "Browser"},
        {"Invoice 2026-0117: 1,240.00 EUR", "Accounts.ods"},
        {"Run /usr/local/bin/backup.exe --full", "Terminal"},
        {"Please call Dr. Patel's office back", "Notes"},
    };
    for (const auto& c : clips) {
        e.clock.advanceSeconds(90);
        saver.capture(c[0], c[1]);
    }
    qd::Table<qd::ClipboardCategoriesRecord> cat(e.ds, qd::tables::ClipboardCategories());
    cat.open();
    for (const char* c : {"Browser", "Mail - Inbox", "Notes", "Work"}) {
        cat.rec.Category = c;
        cat.insert();
    }
    qdclipui::ClipboardUiContext cc{e.ds, e.ui, e.clock, clipboard, {}};
    auto* manager = static_cast<qdclipui::ClipboardManagerWindow*>(
        addChild(*e.frame, new qdclipui::ClipboardManagerWindow(cc), QSize(820, 360)));
    manager->selectRow(1);
    manager->toggleSavePressed();
    manager->selectRow(3);
    ok = grabChild(manager, out + "/clipboard-manager.png") && ok;

    qdclipui::ClipboardRecordForm record(cc, qdclipui::ClipboardRecordForm::Mode::Edit,
                                         manager->model()->record(3));
    record.show();
    QApplication::processEvents();
    ok = record.grab().save(out + "/clipboard-record.png") && ok;

    auto* categories = static_cast<qdclipui::ClipboardCategoriesWindow*>(
        addChild(*e.frame, new qdclipui::ClipboardCategoriesWindow(cc), QSize(520, 420)));
    categories->categories()->setCurrentRow(0);
    ok = grabChild(categories, out + "/clipboard-categories.png") && ok;
    e.runtime->close();
    return ok ? 0 : 1;
}
