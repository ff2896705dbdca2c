// Keystrokes typed into a real Qt window on Xvfb + openbox, under several
// keyboard layouts, compared with what the window received.
#include "X11TestSupport.h"
#include "platform/x11/X11Desktop.h"
#include "script/Keystrokes.h"
#include "script/WindowTargeting.h"

#include <gtest/gtest.h>

#include <random>

namespace qd {
namespace {

using qdtest::Probe;
using qdtest::X11Session;

// Letters, digits, every printable ASCII symbol except the brackets, accented
// and non-Latin characters, and a few the layouts do not have.
const std::string kMixedText = "Hello, World! 0123456789 AZaz !\"#$%&'()*+,-./:;<=>?@\\^_`{|}~ "
                               "äöüßÄÖÜ éèçàù ñ €£¥ Ωλж 日本 ✓";

class X11Typing : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        session_ = X11Session::shared(&error);
        if (!session_) {
            skipReason_ = error;
            return;
        }
        desktop_ = new X11Desktop(openX11Desktop(session_->display));
        probe_ = new Probe(*session_, {"--window", "Typing Target"});
        if (!probe_->waitReady()) skipReason_ = "the test window did not come up";
    }
    static void TearDownTestSuite() {
        delete probe_;
        probe_ = nullptr;
        delete desktop_;
        desktop_ = nullptr;
        if (session_) session_->setLayout("us");
    }
    void SetUp() override {
        if (!skipReason_.empty()) GTEST_SKIP() << skipReason_;
        ASSERT_TRUE(session_->setLayout("us"));
        focusTarget();
    }
    void TearDown() override {
        if (!skipReason_.empty()) return;
        // Nothing we pressed may stay down, whatever the test did.
        X11Keyboard fresh(desktop_->connection);
        EXPECT_EQ(fresh.serverKeysDown(), 0);
        EXPECT_EQ(fresh.heldModifiers(), 0);
        EXPECT_FALSE(fresh.capsLockOn());
    }
    void focusTarget() {
        ASSERT_EQ(desktop_->windows->activate(probe_->window("Typing Target")), WindowStatus::Ok);
        desktop_->keyboard->flush();
        probe_->clearLog();
    }
    TypeTextResult send(const std::string& keys) {
        KeystrokeSender sender(*desktop_->keyboard);
        sender.setSettings({0, 7});
        return sender.SendKeystrokes(keys);
    }

    static inline X11Session* session_ = nullptr;
    static inline X11Desktop* desktop_ = nullptr;
    static inline Probe* probe_ = nullptr;
    static inline std::string skipReason_;
};

class X11Layouts : public X11Typing, public ::testing::WithParamInterface<const char*> {};

TEST_P(X11Layouts, TextArrivesExactly) {
    ASSERT_TRUE(session_->setLayout(GetParam()));
    focusTarget();
    const std::string keymapBefore = session_->keymapDump();
    const TypeTextResult r = TypeText(*desktop_->keyboard, kMixedText);
    desktop_->keyboard->releaseAll();
    EXPECT_EQ(r.status, KeyStatus::Ok);
    EXPECT_EQ(r.skipped, 0);
    EXPECT_EQ(probe_->waitTyped(kMixedText.size()), kMixedText);
    // Characters typed on borrowed key codes leave the key map as it was.
    EXPECT_FALSE(keymapBefore.empty());
    EXPECT_EQ(session_->keymapDump(), keymapBefore);
}

TEST_P(X11Layouts, NamedKeysWithModifiers) {
    ASSERT_TRUE(session_->setLayout(GetParam()));
    focusTarget();
    EXPECT_EQ(send("abc[ENTER]def[CtrlV][+TAB][^%DELETE]").status, KeyStatus::Ok);
    const std::string typed = probe_->waitTyped(9);
    const auto events = probe_->events();
    std::string plain;
    bool ctrlV = false, shiftTab = false, ctrlAltDelete = false;
    for (const auto& e : events) {
        if (!e.press) continue;
        if (e.key == qdtest::kQtKeyV && (e.mods & qdtest::kQtCtrl)) ctrlV = true;
        if ((e.key == qdtest::kQtKeyBacktab || e.key == qdtest::kQtKeyTab) && (e.mods & qdtest::kQtShift))
            shiftTab = true;
        if (e.key == qdtest::kQtKeyDelete && (e.mods & qdtest::kQtCtrl) && (e.mods & qdtest::kQtAlt))
            ctrlAltDelete = true;
        if (!(e.mods & (qdtest::kQtCtrl | qdtest::kQtAlt))) plain += e.text;
    }
    EXPECT_EQ(plain.substr(0, 7), "abc\rdef");
    EXPECT_TRUE(ctrlV);
    EXPECT_TRUE(shiftTab);
    EXPECT_TRUE(ctrlAltDelete);
}

INSTANTIATE_TEST_SUITE_P(Layouts, X11Layouts,
                         ::testing::Values("us", "de", "fr", "us -variant dvorak", "ru,us"),
                         [](const ::testing::TestParamInfo<const char*>& p) {
                             std::string n = p.param;
                             for (char& c : n)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

TEST_F(X11Typing, CapsLockOnKeepsCaseAndStaysOn) {
    ASSERT_EQ(PressKey(*desktop_->keyboard, vk::kCapital), KeyStatus::Ok);
    desktop_->keyboard->flush();
    ASSERT_TRUE(desktop_->keyboard->capsLockOn());
    probe_->clearLog();
    send("Abc xyZ");
    EXPECT_EQ(probe_->waitTyped(7), "Abc xyZ");
    EXPECT_TRUE(desktop_->keyboard->capsLockOn());
    ASSERT_EQ(PressKey(*desktop_->keyboard, vk::kCapital), KeyStatus::Ok);
    desktop_->keyboard->flush();
    EXPECT_FALSE(desktop_->keyboard->capsLockOn());
}

TEST_F(X11Typing, BadKeyNamesAndBracketsTypeAsText) {
    send("[NOSUCH]x[[y]a[b]]z[");
    // "[NOSUCH]" is no key and no variable: typed bare; "[[y]" types "[y";
    // "a"; "[b]" is the B key; "]z" typed; the last "[" is dropped.
    EXPECT_EQ(probe_->waitTyped(10), "NOSUCHx[yab]z");
}

TEST_F(X11Typing, TenThousandCharacters) {
    std::mt19937 rng(42);
    std::string text;
    for (int i = 0; i < 10000; ++i)
        text += static_cast<char>(' ' + rng() % 95);
    const TypeTextResult r = TypeText(*desktop_->keyboard, text);
    desktop_->keyboard->releaseAll();
    EXPECT_EQ(r.status, KeyStatus::Ok);
    const std::string got = probe_->waitTyped(text.size(), std::chrono::seconds(180));
    ASSERT_EQ(got.size(), text.size());
    EXPECT_TRUE(got == text);
}

// A program slow to read its keys, typed a text with more characters outside
// the layout than there are spare key codes: codes are bound again while keys
// typed on them still wait in its queue, and it must still read every one as
// typed; afterwards the key map is as it was.
TEST_F(X11Typing, SlowReceiverReadsEveryCharacterOnReusedKeyCodes) {
    Probe slow(*session_, {"--window", "Slow Target", "--slow", "20"});
    ASSERT_TRUE(slow.waitReady());
    ASSERT_EQ(desktop_->windows->activate(slow.window("Slow Target")), WindowStatus::Ok);
    desktop_->keyboard->flush();
    slow.clearLog();
    const std::string keymapBefore = session_->keymapDump();
    std::string text;
    for (char32_t c = 0x4E00; c < 0x4E00 + 300; ++c) { // more than the 248 key codes X has
        text += static_cast<char>(0xE0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    }
    const TypeTextResult r = TypeText(*desktop_->keyboard, text);
    desktop_->keyboard->releaseAll();
    EXPECT_EQ(r.status, KeyStatus::Ok);
    EXPECT_EQ(r.skipped, 0);
    EXPECT_EQ(slow.waitTyped(text.size(), std::chrono::seconds(60)), text);
    EXPECT_EQ(session_->keymapDump(), keymapBefore);
}

TEST_F(X11Typing, WindowClosingWhileTyping) {
    Probe shortLived(*session_, {"--window", "Short Lived", "--close-after", "5"});
    ASSERT_TRUE(shortLived.waitReady());
    ASSERT_EQ(desktop_->windows->activate(shortLived.window("Short Lived")), WindowStatus::Ok);
    const TypeTextResult r = send(std::string(300, 'q') + "[CtrlA]" + std::string(100, 'w'));
    EXPECT_EQ(r.status, KeyStatus::Ok); // keys go wherever the focus is now; no failure, no crash
    for (int i = 0; i < 100 && shortLived.running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(shortLived.running());
    EXPECT_GE(shortLived.typedText().size(), 5u);
}

TEST_F(X11Typing, HeldModifierIsWaitedFor) {
    // We hold Shift ourselves through a second keyboard, as a user would.
    X11Keyboard user(desktop_->connection);
    ASSERT_EQ(user.keyDown(vk::kShift), KeyStatus::Ok);
    user.flush();
    EXPECT_EQ(desktop_->keyboard->heldModifiers(), kModShift);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(desktop_->keyboard->waitForModifiersReleased(std::chrono::milliseconds(200)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    user.releaseAll();
    EXPECT_TRUE(desktop_->keyboard->waitForModifiersReleased(std::chrono::milliseconds(500)));
}

TEST(X11NoServer, EverythingReportsNoDisplay) {
    X11Desktop desktop = openX11Desktop(":1999");
    EXPECT_FALSE(desktop.connected());
    EXPECT_EQ(desktop.keyboard->typeCharacter(U'a'), KeyStatus::NoDisplay);
    KeystrokeSender sender(*desktop.keyboard);
    sender.setSettings({0, 7});
    EXPECT_EQ(sender.SendKeystrokes("abc[ENTER]").status, KeyStatus::NoDisplay);
    std::vector<TopLevelWindow> list;
    EXPECT_EQ(desktop.windows->topLevelWindows(list), WindowStatus::NoDisplay);
    WindowTargeting targeting(*desktop.windows);
    EXPECT_EQ(targeting.FindWindowByPattern("*", ""), 0u);
    EXPECT_EQ(targeting.FocusText(), "");
    EXPECT_EQ(targeting.CloseProgram("", ""), CloseOutcome::NoWindow);
    EXPECT_EQ(desktop.windows->activate(1234), WindowStatus::NoDisplay);
}

} // namespace
} // namespace qd
