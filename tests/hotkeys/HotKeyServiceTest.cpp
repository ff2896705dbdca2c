#include "hotkeys/HotKeyService.h"
#include "hotkeys/HotKeyNames.h"
#include "perform/PerformFixture.h"
#include "platform/fake/FakeClipboard.h"
#include "platform/fake/FakeHotKeys.h"
#include "platform/fake/FakeKeyboard.h"
#include "script/Keystrokes.h"

#include <gtest/gtest.h>

#include <deque>

using namespace qd;

namespace {

class HotKeyServiceTest : public qdtest::PerformTest {
protected:
    HotKeyServiceTest() : sender(keyboard) {
        sender.setSleep([this](std::chrono::milliseconds) { ++sleeps; });
        sender.setModifierWait(std::chrono::milliseconds(0));
        service = std::make_unique<HotKeyService>(system, environment());
    }
    HotKeyEnvironment environment() {
        HotKeyEnvironment env;
        env.ds = &ds;
        env.ui = &ui;
        env.frame = &frame;
        env.execution = &exec;
        env.keys = &sender;
        env.keyboard = &keyboard;
        env.clipboard = &clipboard;
        env.restoreFrame = [this] { ++restored; };
        return env;
    }

    void addHotKey(const std::string& combination, const std::string& action, const std::string& type,
                   const std::string& text, int taskId = 0, bool active = true) {
        Table<SysHotKeysRecord> t(ds, tables::SysHotKeys());
        ASSERT_EQ(t.open(), Level::Benign);
        t.rec = SysHotKeysRecord{};
        t.rec.HotKey = combination;
        t.rec.Active = active ? 1 : 0;
        t.rec.Description = combination;
        t.rec.Action = action;
        t.rec.TextType = type;
        t.rec.Text = text;
        t.rec.ID = taskId;
        ASSERT_EQ(t.insert(), Level::Benign);
    }
    void removeHotKey(const std::string& combination) {
        Table<SysHotKeysRecord> t(ds, tables::SysHotKeys());
        ASSERT_EQ(t.open(), Level::Benign);
        t.rec.HotKey = combination;
        ASSERT_EQ(t.fetch("K_HotKey"), Level::Benign);
        ASSERT_EQ(t.deleteRecord(), Level::Benign);
    }
    // Presses a combination by its text as the desktop would deliver it.
    std::vector<HotKeyOutcome> press(const std::string& combination) {
        const int code = TrnKeyName(combination);
        EXPECT_TRUE(system.press(static_cast<unsigned>(hotKeyModifiers(code)) >> 8, hotKeyVirtualKey(code)))
            << combination << " is not registered";
        return service->handleSystemPresses();
    }
    bool registered(const std::string& combination) {
        const int code = TrnKeyName(combination);
        for (const auto& [id, c] : system.registered)
            if (c.virtualKey == hotKeyVirtualKey(code) &&
                c.modifiers == static_cast<unsigned>(hotKeyModifiers(code)) >> 8)
                return true;
        return false;
    }

    FakeHotKeys system;
    FakeKeyboard keyboard;
    FakeClipboard clipboard;
    KeystrokeSender sender;
    std::unique_ptr<HotKeyService> service;
    int restored = 0;
    int sleeps = 0;
};

using Outcomes = std::vector<HotKeyOutcome>;

TEST_F(HotKeyServiceTest, RegistersTheRestoreKeyAndEveryActiveRecord) {
    service->registerAll();
    EXPECT_TRUE(registered("WinW")) << "Windows+W works even without any record";
    EXPECT_EQ(press("WinW"), Outcomes{HotKeyOutcome::Restored});
    EXPECT_EQ(restored, 1);

    addHotKey("Ctrl-Alt-T", "Text", "TYPE", "hello");
    addHotKey("Ctrl-Alt-I", "Text", "TYPE", "idle", 0, false);
    addHotKey("Ctrl-Alt-Foo", "Text", "TYPE", "never");
    service->registerAll();
    EXPECT_TRUE(registered("Ctrl-Alt-T"));
    EXPECT_FALSE(registered("Ctrl-Alt-I"));
    EXPECT_EQ(system.registered.size(), 2u) << "the unknown key is not registered";
    EXPECT_TRUE(service->component().refused().empty());
}

TEST_F(HotKeyServiceTest, RefusedCombinationsAreListedAndSilentlyInactive) {
    system.heldElsewhere.insert({hotmod::kCtrl | hotmod::kAlt, 'T'});
    addHotKey("Ctrl-Alt-T", "Text", "TYPE", "taken");
    addHotKey("Ctrl-Alt-U", "Text", "TYPE", "free");
    service->registerAll();
    ASSERT_EQ(service->component().refused().size(), 1u);
    EXPECT_EQ(service->component().refused()[0].text, "Ctrl-Alt-T");
    EXPECT_EQ(service->component().refused()[0].status, HotKeyStatus::Refused);
    EXPECT_TRUE(ui.shown.empty()) << "a refusal shows nothing";
    EXPECT_FALSE(registered("Ctrl-Alt-T"));
    EXPECT_EQ(press("Ctrl-Alt-U"), Outcomes{HotKeyOutcome::Typed});
    EXPECT_EQ(keyboard.typedText(), "free");

    bool sawTaken = false, sawFree = false;
    for (const auto& s : service->states()) {
        if (s.record.HotKey == "Ctrl-Alt-T") {
            sawTaken = true;
            EXPECT_FALSE(s.registered);
            EXPECT_EQ(s.status, HotKeyStatus::Refused);
        }
        if (s.record.HotKey == "Ctrl-Alt-U") {
            sawFree = true;
            EXPECT_TRUE(s.registered);
        }
    }
    EXPECT_TRUE(sawTaken && sawFree);
}

TEST_F(HotKeyServiceTest, TypeReleasesModifiersFirstAndTypesLinesWithEnter) {
    addHotKey("Ctrl-Alt-T", "Text", "type", "one\r\ntwo");
    service->registerAll();
    EXPECT_EQ(press("Ctrl-Alt-T"), Outcomes{HotKeyOutcome::Typed});
    const std::string trace = keyboard.trace();
    const auto firstChar = trace.find('o');
    ASSERT_NE(firstChar, std::string::npos) << trace;
    const std::string before = trace.substr(0, firstChar);
    for (const char* up : {"{-SHIFT}", "{-CTRL}", "{-ALT}", "{-WIN}"})
        EXPECT_NE(before.find(up), std::string::npos) << up << " before typing: " << trace;
    EXPECT_EQ(keyboard.typedText(), "one\rtwo");
    EXPECT_EQ(system.waits.size(), 1u) << "waits for the combination to be let go";
    EXPECT_EQ(sleeps, 0) << "and then types at once, without the pause before the first group";
    // A script's keystrokes afterwards pause as before.
    sender.SendKeystrokes("x");
    EXPECT_GT(sleeps, 0);
}

TEST_F(HotKeyServiceTest, PasteRestoresEveryFormatOfThePreviousContent) {
    addHotKey("Ctrl-Alt-P", "Text", "PASTE", "pasted text   ");
    service->registerAll();
    clipboard.formats = {{"text/plain", "mine"}, {"image/png", std::string("\x89PNG\0\x01", 6)}};
    std::string onClipboardAtPaste;
    keyboard.onEvent = [&] {
        if (!keyboard.events.empty() && keyboard.events.back().kind == FakeKeyboard::Event::Down &&
            keyboard.events.back().virtualKey == 'V')
            onClipboardAtPaste = clipboard.text();
    };
    EXPECT_EQ(press("Ctrl-Alt-P"), Outcomes{HotKeyOutcome::Pasted});
    EXPECT_EQ(onClipboardAtPaste, "pasted text") << "trailing blanks are not pasted";
    EXPECT_NE(keyboard.trace().find("{+CTRL}{+V}{-V}{-CTRL}"), std::string::npos) << keyboard.trace();
    EXPECT_EQ(clipboard.restores, 1);
    EXPECT_EQ(clipboard.text(), "mine");
    EXPECT_EQ(clipboard.formats["image/png"].size(), 6u);

    // With nothing to put back, the text stays.
    clipboard.formats.clear();
    EXPECT_EQ(press("Ctrl-Alt-P"), Outcomes{HotKeyOutcome::Pasted});
    EXPECT_EQ(clipboard.text(), "pasted text");
}

TEST_F(HotKeyServiceTest, CopyOnlyPutsTheTextOnTheClipboard) {
    addHotKey("Ctrl-Alt-C", "Text", "COPY", "copied  ");
    service->registerAll();
    EXPECT_EQ(press("Ctrl-Alt-C"), Outcomes{HotKeyOutcome::Copied});
    EXPECT_EQ(clipboard.text(), "copied");
    EXPECT_TRUE(keyboard.events.empty()) << keyboard.trace();
}

TEST_F(HotKeyServiceTest, TaskHotKeyQueuesTheScriptOrReportsTheMissingTask) {
    const int id = addTask(daily("Hot Key Ctrl-Alt-S", 0, 0));
    addHotKey("Ctrl-Alt-S", "Task", "", "", id);
    addHotKey("Ctrl-Alt-G", "Task", "", "", id + 100);
    service->registerAll();
    EXPECT_EQ(press("Ctrl-Alt-S"), Outcomes{HotKeyOutcome::TaskQueued});
    EXPECT_EQ(scripts.queued, std::vector<int>{id});
    EXPECT_TRUE(ui.shown.empty());

    EXPECT_EQ(press("Ctrl-Alt-G"), Outcomes{HotKeyOutcome::TaskMissing});
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].title, "Hot-Key Ctrl-Alt-G Error");
    EXPECT_EQ(ui.shown[0].text, "Unable to retrieve associated task.");
    EXPECT_EQ(frame.broughtToFront, 1);
}

TEST_F(HotKeyServiceTest, UnknownTypeAndActionAreReported) {
    addHotKey("Ctrl-Alt-Y", "Text", "SHOUT", "x");
    addHotKey("Ctrl-Alt-Z", "Beep", "", "");
    service->registerAll();
    EXPECT_EQ(press("Ctrl-Alt-Y"), Outcomes{HotKeyOutcome::UnknownType});
    EXPECT_EQ(press("Ctrl-Alt-Z"), Outcomes{HotKeyOutcome::UnknownAction});
    ASSERT_EQ(ui.shown.size(), 2u);
    EXPECT_EQ(ui.shown[0].text, "Unknown Text Automation:  SHOUT");
    EXPECT_EQ(ui.shown[1].title, "Hot-Key Ctrl-Alt-Z Error");
    EXPECT_EQ(ui.shown[1].text, "Unknown Action:  Beep");
}

TEST_F(HotKeyServiceTest, AKeyWhoseRecordWentReportsAndReloads) {
    addHotKey("Ctrl-Alt-R", "Text", "TYPE", "r");
    service->registerAll();
    removeHotKey("Ctrl-Alt-R");
    EXPECT_EQ(press("Ctrl-Alt-R"), Outcomes{HotKeyOutcome::NotFound});
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].text, "Error retrieving hot key.");
    EXPECT_EQ(ui.shown[0].title, "Ctrl-Alt-R");
    EXPECT_FALSE(registered("Ctrl-Alt-R")) << "the list was loaded again";
    EXPECT_TRUE(registered("WinW"));

    // An identifier the list does not know.
    system.pressId(77);
    EXPECT_EQ(service->handleSystemPresses(), Outcomes{HotKeyOutcome::NotFound});
    EXPECT_EQ(ui.shown.back().title, "Unknown: 77");
}

TEST_F(HotKeyServiceTest, BadTextsNeitherCrashNorLoseAnything) {
    const std::string big(8192, 'k');
    addHotKey("Ctrl-Alt-E", "Text", "TYPE", "");
    addHotKey("Ctrl-Alt-B", "Text", "TYPE", big);
    addHotKey("Ctrl-Alt-V", "Text", "PASTE", big + "\nend");
    service->registerAll();
    EXPECT_EQ(press("Ctrl-Alt-E"), Outcomes{HotKeyOutcome::Typed});
    EXPECT_EQ(keyboard.typedText(), "");
    EXPECT_EQ(press("Ctrl-Alt-B"), Outcomes{HotKeyOutcome::Typed});
    EXPECT_EQ(keyboard.typedText(), big);
    clipboard.formats.clear();
    EXPECT_EQ(press("Ctrl-Alt-V"), Outcomes{HotKeyOutcome::Pasted});
    EXPECT_EQ(clipboard.text(), big + "\nend");
    EXPECT_TRUE(keyboard.keysDown().empty());
}

TEST_F(HotKeyServiceTest, ReleaseDropsEveryRegistration) {
    addHotKey("Ctrl-Alt-T", "Text", "TYPE", "x");
    service->registerAll();
    EXPECT_FALSE(system.registered.empty());
    service->releaseAll();
    EXPECT_TRUE(system.registered.empty());
    EXPECT_FALSE(system.press(hotmod::kCtrl | hotmod::kAlt, 'T'));
}

TEST(HotKeyQuickText, DescriptionAndTextCutToTheField) {
    SysHotKeysRecord r{};
    r.Description = "Greeting  ";
    r.Action = "Text";
    r.Text = "Dear Sir or Madam, thank you for your letter of";
    EXPECT_EQ(hotKeyQuickText(r), "Greeting : Dear Sir or Madam, thank you");
    r.Action = "Task";
    EXPECT_EQ(hotKeyQuickText(r), "Greeting");
}

} // namespace

// TYPE and PASTE in steps on an event loop: here a queue of posted jobs that
// the test runs by hand, with the pauses they asked for.
class SteppedHotKeyTest : public HotKeyServiceTest {
protected:
    SteppedHotKeyTest() {
        HotKeyEnvironment env = environment();
        env.postAfter = [this](std::chrono::milliseconds pause, std::function<void()> job) {
            pauses.push_back(pause);
            jobs.push_back(std::move(job));
        };
        service = std::make_unique<HotKeyService>(system, env);
    }
    // Runs one posted job; false when none is waiting.
    bool step() {
        if (jobs.empty()) return false;
        auto job = std::move(jobs.front());
        jobs.pop_front();
        job();
        return true;
    }
    int runAll() {
        int n = 0;
        while (step())
            ++n;
        return n;
    }
    // The characters and Tab presses sent, in order.
    std::string sent() const {
        std::string out;
        for (const auto& e : keyboard.events)
            if (e.kind == FakeKeyboard::Event::Char)
                out += static_cast<char>(e.ch);
            else if (e.kind == FakeKeyboard::Event::Down && e.virtualKey == vk::kTab)
                out += '\t';
        return out;
    }
    std::deque<std::function<void()>> jobs;
    std::vector<std::chrono::milliseconds> pauses;
};

TEST_F(SteppedHotKeyTest, TypeSendsAGroupAStepAndPressesWaitForTheEnd) {
    addHotKey("Ctrl-Alt-T", "Text", "TYPE", "ab[TAB]cd[TAB]ef");
    addHotKey("Ctrl-Alt-U", "Text", "TYPE", "XY");
    service->registerAll();
    EXPECT_EQ(press("Ctrl-Alt-T"), Outcomes{HotKeyOutcome::Typed});
    EXPECT_TRUE(service->sending());
    EXPECT_EQ(sent(), "ab") << "the press returns after the first group";
    const std::string trace = keyboard.trace();
    EXPECT_LT(trace.find("{-CTRL}"), trace.find("ab")) << "modifiers let go of first: " << trace;
    // A second hot key pressed meanwhile waits; nothing of it mixes in.
    EXPECT_TRUE(press("Ctrl-Alt-U").empty());
    step();
    EXPECT_EQ(sent(), "ab\t");
    runAll();
    EXPECT_FALSE(service->sending());
    EXPECT_EQ(sent(), "ab\tcd\tefXY");
    EXPECT_EQ(sleeps, 0) << "the pauses are the event loop's, no sleeping";
    ASSERT_GE(pauses.size(), 4u);
    EXPECT_EQ(pauses[0], std::chrono::milliseconds(100)) << "the keystroke pause between groups";
    EXPECT_TRUE(keyboard.keysDown().empty());
}

TEST_F(SteppedHotKeyTest, ALongPlainTextGoesInPiecesWithoutPauses) {
    std::string text;
    for (int i = 0; i < 8192; ++i)
        text += static_cast<char>('a' + i % 26);
    addHotKey("Ctrl-Alt-L", "Text", "TYPE", text);
    service->registerAll();
    EXPECT_EQ(press("Ctrl-Alt-L"), Outcomes{HotKeyOutcome::Typed});
    EXPECT_EQ(keyboard.typedText().size(), 64u);
    EXPECT_EQ(runAll(), 8192 / 64 - 1 + 1) << "one job a piece, then one for the waiting presses";
    EXPECT_EQ(keyboard.typedText(), text);
    for (std::size_t i = 0; i + 1 < pauses.size(); ++i)
        EXPECT_EQ(pauses[i], std::chrono::milliseconds(0));
}

TEST_F(SteppedHotKeyTest, AHeldKeyIsPolledNotWaitedForAndGivenUpOn) {
    addHotKey("Ctrl-Alt-P", "Text", "PASTE", "pasted");
    service->registerAll();
    clipboard.formats = {{"text/plain", "mine"}};
    system.heldPolls = 3;
    EXPECT_EQ(press("Ctrl-Alt-P"), Outcomes{HotKeyOutcome::Pasted});
    EXPECT_EQ(keyboard.trace().find("{+V}"), std::string::npos) << "not while the key is held";
    EXPECT_TRUE(system.waits.empty()) << "no blocking wait";
    runAll();
    EXPECT_NE(keyboard.trace().find("{+CTRL}{+V}{-V}{-CTRL}"), std::string::npos) << keyboard.trace();
    EXPECT_EQ(clipboard.restores, 1);
    EXPECT_EQ(clipboard.text(), "mine");
    EXPECT_EQ(system.heldChecks, 4);

    // Held for good: after the release wait the action goes ahead anyway.
    service->releaseWait = std::chrono::milliseconds(0);
    system.heldPolls = 1000;
    keyboard.events.clear();
    EXPECT_EQ(press("Ctrl-Alt-P"), Outcomes{HotKeyOutcome::Pasted});
    runAll();
    EXPECT_NE(keyboard.trace().find("{+V}"), std::string::npos);
    EXPECT_EQ(system.waits, std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(0)})
        << "the held key's grab is ended";
}

TEST_F(SteppedHotKeyTest, ATaskKeyStartsItsScriptOnceLetGoWithoutBlocking) {
    const int id = addTask(daily("Hot Key Ctrl-Alt-S", 0, 0));
    addHotKey("Ctrl-Alt-S", "Task", "", "", id);
    service->registerAll();
    system.heldPolls = 2;
    EXPECT_EQ(press("Ctrl-Alt-S"), Outcomes{HotKeyOutcome::TaskQueued});
    EXPECT_TRUE(scripts.queued.empty()) << "not while the combination is held";
    EXPECT_TRUE(system.waits.empty()) << "no blocking wait";
    runAll();
    EXPECT_EQ(scripts.queued, std::vector<int>{id});
}

TEST_F(SteppedHotKeyTest, TheKeyboardIsHeldFromThePressToTheLastKeySent) {
    addHotKey("Ctrl-Alt-T", "Text", "TYPE", "ab[TAB]cd");
    addHotKey("Ctrl-Alt-P", "Text", "PASTE", "p");
    service->registerAll();
    EXPECT_FALSE(sender.held());
    press("Ctrl-Alt-T");
    EXPECT_TRUE(sender.held()) << "scripts wait between the groups";
    runAll();
    EXPECT_FALSE(sender.held());

    system.heldPolls = 1;
    press("Ctrl-Alt-P");
    EXPECT_TRUE(sender.held()) << "from the press to the paste";
    runAll();
    EXPECT_FALSE(sender.held());

    press("Ctrl-Alt-T");
    service.reset();
    EXPECT_FALSE(sender.held()) << "a service that ends mid-way lets go";
}

TEST_F(SteppedHotKeyTest, StepsLeftWhenTheServiceEndsDoNothing) {
    addHotKey("Ctrl-Alt-T", "Text", "TYPE", "ab[TAB]cd");
    service->registerAll();
    press("Ctrl-Alt-T");
    service.reset();
    const std::size_t before = keyboard.events.size();
    runAll();
    EXPECT_EQ(keyboard.events.size(), before);
    EXPECT_TRUE(keyboard.keysDown().empty());
}
