// Keystroke texts sent to the recording keyboard: syntax, pacing, modifiers,
// Caps Lock and failure paths.
#include "script/Keystrokes.h"
#include "data/Clock.h"
#include "platform/fake/FakeKeyboard.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace qd {
namespace {

struct NameCase {
    const char* name;
    int code;
};
void PrintTo(const NameCase& c, std::ostream* os) {
    *os << '"' << c.name << "\" -> " << c.code;
}

class KeyNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(KeyNameTest, Code) {
    EXPECT_EQ(KeyNameToCode(GetParam().name), GetParam().code) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, KeyNameTest,
    ::testing::Values(NameCase{"ENTER", 13}, NameCase{"enter", 13}, NameCase{"pgdn", 34},
                      NameCase{"PGDN ", 34}, NameCase{" PGDN", 0}, NameCase{"AST", 106}, NameCase{"BS", 8},
                      NameCase{"CAPS", 20}, NameCase{"CAPSLOCK", 20}, NameCase{"DECIMAL", 110},
                      NameCase{"F1", 112}, NameCase{"F12", 123}, NameCase{"F13", 0}, NameCase{"A", 65},
                      NameCase{"z", 90}, NameCase{"0", 48}, NameCase{"9", 57}, NameCase{"PAD0", 96},
                      NameCase{"PAD9", 105}, NameCase{"MINUS", 109}, NameCase{"PLUS", 107},
                      NameCase{"SLASH", 111}, NameCase{"PRINT", 44}, NameCase{"MOUSE", 1},
                      NameCase{"MOUSELEFT", 1}, NameCase{"MOUSERIGHT", 2}, NameCase{"MOUSECENTER", 3},
                      NameCase{"MOUSELEFT2", 5}, NameCase{"MOUSERIGHT2", 6}, NameCase{"MOUSECENTER2", 7},
                      NameCase{"Hello", 0}, NameCase{"", 0}, NameCase{"TODAY", 0}));

INSTANTIATE_TEST_SUITE_P(
    Modifiers, KeyNameTest,
    ::testing::Values(NameCase{"+TAB", 9 + 256}, NameCase{"^%DELETE", 46 + 512 + 1024},
                      NameCase{"CtrlV", 86 + 512}, NameCase{"CtrlAltDELETE", 46 + 512 + 1024},
                      NameCase{"AltCtrlDELETE", 46 + 512 + 1024}, NameCase{"ShiftEND", 35 + 256},
                      NameCase{"-ENTER", 13}, NameCase{"CTRLSHIFTF5", 116 + 512 + 256},
                      NameCase{"KEYENTER", 13}, NameCase{"CtrlKEYC", 67 + 512}, NameCase{"ENTKEYER", 13},
                      // A prefix before a name that is not a key leaves the modifier alone.
                      NameCase{"CtrlNOSUCH", 512}, NameCase{"Shift", 256}, NameCase{"%", 1024},
                      // A repeated prefix is still the same modifier, never a different one.
                      NameCase{"++A", 65 + 256}, NameCase{"CtrlCtrlA", 65 + 512}));

// A sender whose pauses move a manual clock and are recorded in the trace as "|".
struct Rig {
    FakeKeyboard kb;
    ManualClock clock{{dateFromMDY(3, 1, 2024), timeFromHMS(10, 0, 0)}};
    KeystrokeSender sender{kb};
    int pauses = 0;

    explicit Rig(int delay = 10, int burst = 7) {
        sender.setSettings({delay, burst});
        sender.setClock(&clock);
        sender.setSleep([this](std::chrono::milliseconds ms) {
            clock.advance(ms.count() / 10 > 0 ? ms.count() / 10 : 1);
        });
        sender.setModifierWait(std::chrono::milliseconds(0));
    }
    TypeTextResult send(const std::string& text) { return sender.SendKeystrokes(text); }
};

TEST(Keystrokes, PlainTextAndNamedKeys) {
    Rig r;
    r.send("abc[ENTER]def");
    EXPECT_EQ(r.kb.trace(), "abc{+ENTER}{-ENTER}def");
    EXPECT_TRUE(r.kb.keysDown().empty());
}

TEST(Keystrokes, ModifierOrderIsShiftCtrlAltWin) {
    Rig r;
    r.send("[CtrlV]");
    EXPECT_EQ(r.kb.trace(), "{+CTRL}{+V}{-V}{-CTRL}");
    r.kb.events.clear();
    r.send("[+TAB]");
    EXPECT_EQ(r.kb.trace(), "{+SHIFT}{+TAB}{-TAB}{-SHIFT}");
    r.kb.events.clear();
    r.send("[%^+DELETE]");
    EXPECT_EQ(r.kb.trace(), "{+SHIFT}{+CTRL}{+ALT}{+DELETE}{-DELETE}{-SHIFT}{-CTRL}{-ALT}");
    r.kb.events.clear();
    PressKey(r.kb, 65 | kModWin | kModShift);
    EXPECT_EQ(r.kb.trace(), "{+SHIFT}{+WIN}{+A}{-A}{-SHIFT}{-WIN}");
}

TEST(Keystrokes, ModifierAloneAndMouseNames) {
    Rig r;
    r.send("[CtrlNOSUCH][MOUSERIGHT]");
    EXPECT_EQ(r.kb.trace(), "{+CTRL}{+VK0}{-VK0}{-CTRL}{+VK2}{-VK2}");
}

TEST(Keystrokes, BracketRules) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"a[b", "ab"},
        {"[ PGDN]", " PGDN"},
        {"[pgdn][PGDN ]", "{+PGDN}{-PGDN}{+PGDN}{-PGDN}"},
        {"[Hello]", "Hello"},
        {"Hello   ", "Hello"},
        {"Hello [ENTER]", "Hello {+ENTER}{-ENTER}"},
        {"x]y", "x]y"},
        {"[[ENTER]", "[ENTER"}, // the name "[ENTER" is no key: typed as it stands
        {"[]", ""},
        {"[", ""},
        {"]]]", "]]]"},
        {"[ENTER", "ENTER"},
    };
    for (const Case& c : cases) {
        Rig r;
        r.send(c.in);
        EXPECT_EQ(r.kb.trace(), c.out) << c.in;
        EXPECT_TRUE(r.kb.keysDown().empty()) << c.in;
    }
}

TEST(Keystrokes, VariablesInBrackets) {
    Rig r;
    r.sender.setTranslator([](const std::string& name) -> std::string {
        if (name == "TODAY") return "3/1/2024";
        if (name == "SAME") return "SAME";
        if (name == "NAME") return "[x]";
        return "";
    });
    r.send("[TODAY] [Hello] [SAME] [NAME]");
    EXPECT_EQ(r.kb.trace(), "3/1/2024 Hello SAME [x]");
}

TEST(Keystrokes, PacingWithBurstSizeTwo) {
    Rig r(10, 2);
    // The clock moves only inside a pause, so a change of time starts a new group.
    Time last = r.clock.clockTime();
    std::vector<std::string> groups;
    std::vector<Time> gaps;
    r.kb.onEvent = [&] {
        const Time now = r.clock.clockTime();
        if (now != last) {
            groups.emplace_back();
            gaps.push_back(now - last);
            last = now;
        }
        const auto& e = r.kb.events.back();
        if (e.kind == FakeKeyboard::Event::Char) groups.back() += static_cast<char>(e.ch);
        if (e.kind == FakeKeyboard::Event::Down)
            groups.back() += "<" + FakeKeyboard::keyName(e.virtualKey) + ">";
    };
    r.send("abc[ENTER]def");
    EXPECT_EQ(groups, (std::vector<std::string>{"ab", "c", "<ENTER>", "def"}));
    for (Time g : gaps)
        EXPECT_EQ(g, 10);
    EXPECT_EQ(r.sender.busyPhase(), 4);
}

TEST(Keystrokes, PauseEndsAtMidnightAndWithAStoppedClock) {
    {
        Rig r(50, 7);
        r.clock.set({dateFromMDY(3, 1, 2024), kTimeDay - 5});
        int sleeps = 0;
        r.sender.setSleep([&](std::chrono::milliseconds) {
            ++sleeps;
            r.clock.set({dateFromMDY(3, 2, 2024), 1}); // the clock passes midnight
        });
        r.send("x");
        EXPECT_EQ(r.kb.trace(), "x");
        EXPECT_EQ(sleeps, 1);
    }
    {
        // A clock that never moves must not hold the sender forever.
        Rig r(10, 7);
        int sleeps = 0;
        r.sender.setSleep([&](std::chrono::milliseconds) { ++sleeps; });
        r.send("y");
        EXPECT_EQ(r.kb.trace(), "y");
        EXPECT_GT(sleeps, 0);
    }
    {
        Rig r(0, 7); // no pause at all
        int sleeps = 0;
        r.sender.setSleep([&](std::chrono::milliseconds) { ++sleeps; });
        r.send("[TAB]z");
        EXPECT_EQ(sleeps, 0);
    }
}

TEST(Keystrokes, SleepStepIsTenthOfDelay) {
    Rig r(25, 7);
    std::vector<long> steps;
    r.sender.setSleep([&](std::chrono::milliseconds ms) {
        steps.push_back(static_cast<long>(ms.count()));
        r.clock.advance(1);
    });
    r.send("q");
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.front(), 2); // 25 / 10 rounded toward zero
    EXPECT_EQ(steps.size(), 25u);
}

TEST(Keystrokes, BusyIconsCycle) {
    Rig r(10, 1);
    std::vector<std::string> icons;
    r.sender.setBusyIcon([&](const std::string& icon) { icons.push_back(icon); });
    r.send("abcdefghi[X]"); // 9 bursts of one, one key: 10 groups
    EXPECT_EQ(icons, (std::vector<std::string>{"busykey.ico", "busykey2.ico", "busykey3.ico", "busykey4.ico",
                                               "busykey2.ico", "busykey4.ico", "busykey.ico", "busykey3.ico",
                                               "busykey.ico", "busykey2.ico"}));
    r.send("z"); // the phase carries over to the next text
    EXPECT_EQ(icons.back(), "busykey3.ico");
}

TEST(Keystrokes, BurstSizeSettings) {
    FakeKeyboard kb;
    KeystrokeSender s(kb);
    s.setSettings({10, 0});
    EXPECT_EQ(s.settings().burstSize, 7);
    s.setSettings({10, 300});
    EXPECT_EQ(s.settings().burstSize, 255);
}

TEST(Keystrokes, CapsLockOnKeepsCase) {
    Rig r;
    r.kb.capsLock = true;
    r.send("Abc");
    EXPECT_EQ(r.kb.trace(), "{+CAPS}{-CAPS}Abc{+CAPS}{-CAPS}");
    EXPECT_TRUE(r.kb.capsLock);
    r.kb.events.clear();
    r.kb.capsLock = false;
    r.send("Abc");
    EXPECT_EQ(r.kb.trace(), "Abc");
}

TEST(Keystrokes, UnicodeBurstsNeverSplitCharacters) {
    Rig r(10, 2);
    const auto res = r.send("äöü€ж[ENTER]日本");
    EXPECT_EQ(r.kb.typedText(), "äöü€ж日本");
    EXPECT_EQ(res.status, KeyStatus::Ok);
}

TEST(Keystrokes, CrLfIsOneEnterAndMissingCharactersAreSkipped) {
    Rig r;
    r.kb.missingCharacters = {U'€'};
    const auto res = r.send("a\r\nb€c");
    EXPECT_EQ(r.kb.typedText(), "a\nbc");
    EXPECT_EQ(res.skipped, 1);
    EXPECT_EQ(res.status, KeyStatus::Ok);
}

TEST(Keystrokes, LoneCarriageReturnIsAnEnterOfItsOwn) {
    // Only CR LF collapses into one Enter; a CR alone, or before another CR, is one.
    Rig r;
    r.send("a\rb");
    EXPECT_EQ(r.kb.typedText(), "a\rb");
    Rig twice;
    twice.send("a\r\r\nb\r");
    EXPECT_EQ(twice.kb.typedText(), "a\r\nb\r");
}

TEST(Keystrokes, FailureReleasesEverything) {
    Rig r;
    int n = 0;
    r.kb.onEvent = [&] {
        if (++n == 2) r.kb.noDisplay = true; // the display goes away after Ctrl is down
    };
    const auto res = r.send("[^%DELETE]more text");
    EXPECT_EQ(res.status, KeyStatus::NoDisplay);
    EXPECT_GE(r.kb.releaseAllCalls, 1);
    r.kb.noDisplay = false;
    r.kb.releaseAll();
    EXPECT_TRUE(r.kb.keysDown().empty());
    EXPECT_EQ(r.kb.typedText(), ""); // nothing after the failure
}

TEST(Keystrokes, NoDisplayStopsAtOnce) {
    Rig r;
    r.kb.noDisplay = true;
    EXPECT_EQ(r.send("hello[ENTER]world").status, KeyStatus::NoDisplay);
    EXPECT_TRUE(r.kb.events.empty());
}

TEST(Keystrokes, WaitsForHeldModifiersFirst) {
    Rig r;
    r.sender.setModifierWait(std::chrono::milliseconds(750));
    r.kb.userHeldModifiers = kModCtrl;
    r.send("x");
    EXPECT_EQ(r.kb.lastWait.count(), 750);
    EXPECT_EQ(r.kb.typedText(), "x");
}

TEST(Keystrokes, LongTextArrivesWhole) {
    Rig r(10, 255);
    std::string text;
    for (int i = 0; i < 10000; ++i)
        text += static_cast<char>('a' + i % 26);
    text[5000] = '[';
    text[5004] = ']'; // "[" + 3 letters + "]": typed as a name that is no key
    r.send(text);
    std::string expected = text;
    expected.erase(5004, 1);
    expected.erase(5000, 1);
    EXPECT_EQ(r.kb.typedText(), expected);
}

TEST(Keystrokes, KeyReferenceFileListsEveryName) {
    // The file is delivered next to the programs, and so next to this test.
    const char* env = std::getenv("QD_BIN_DIR");
    const std::filesystem::path bin =
        env ? std::filesystem::path(env) : std::filesystem::read_symlink("/proc/self/exe").parent_path();
    std::ifstream in(bin / "KEYCODES.TXT");
    ASSERT_TRUE(in.good());
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string doc = ss.str();
    for (const char* name :
         {"AST",   "BS",        "CAPSLOCK",   "CAPS",        "DECIMAL",    "DELETE",      "DOWN",
          "END",   "ENTER",     "ESC",        "F1",          "F12",        "HOME",        "INSERT",
          "LEFT",  "MINUS",     "PAUSE",      "PGDN",        "PGUP",       "PLUS",        "PRINT",
          "RIGHT", "SLASH",     "SPACE",      "TAB",         "UP",         "PAD0",        "PAD9",
          "MOUSE", "MOUSELEFT", "MOUSERIGHT", "MOUSECENTER", "MOUSELEFT2", "MOUSERIGHT2", "MOUSECENTER2"})
        EXPECT_NE(doc.find(name), std::string::npos) << name;
}

} // namespace
} // namespace qd
