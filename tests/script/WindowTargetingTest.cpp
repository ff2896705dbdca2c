// Title patterns, child texts, the window list and "Log Windows" on a scripted desktop.
#include "script/WindowTargeting.h"
#include "platform/fake/FakeWindowSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace qd {
namespace {

struct PatternCase {
    const char* title;
    const char* pattern;
    bool match;
};
void PrintTo(const PatternCase& c, std::ostream* os) {
    *os << '"' << c.title << "\" ~ \"" << c.pattern << "\" " << (c.match ? "match" : "no match");
}

class TitlePatternTest : public ::testing::TestWithParam<PatternCase> {};

TEST_P(TitlePatternTest, Matches) {
    const PatternCase& c = GetParam();
    EXPECT_EQ(TitleMatchesPattern(c.title, c.pattern), c.match) << c.title << " / " << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TitlePatternTest,
    ::testing::Values(
        PatternCase{"Notepad", "notepad", true}, PatternCase{"Untitled - Notepad", "notepad", false},
        PatternCase{"Notepad   ", "NOTEPAD", true}, PatternCase{"Notepad", "Notepad  ", true},
        PatternCase{"Untitled - Notepad", "Untitled - *", true},
        PatternCase{"untitled - WordPad", "Untitled - *", true},
        PatternCase{"Untitled", "Untitled - *", false}, PatternCase{"Untitled - Notepad", "*Notepad", true},
        PatternCase{"Untitled - NOTEPAD", "*notepad  ", true}, PatternCase{"Notes", "*Notepad", false},
        PatternCase{"Calculator", "~Calculator", true}, PatternCase{"My Calculator", "~*calc", true},
        // What follows an inner star is ignored.
        PatternCase{"Untitled - Notepad", "Untitled*WordPad", true}, PatternCase{"anything", "*", true},
        PatternCase{"Ärger – Ölfeld", "*ölfeld", true}, PatternCase{"ärger", "ÄRGER", true},
        PatternCase{"", "*x", false}));

TEST(WindowTargeting, FrontWindowWinsAndChildTextNarrows) {
    FakeWindowSystem ws;
    const WindowHandle front = ws.add("Untitled - Notepad");
    const WindowHandle back = ws.add("Report - Notepad");
    ws.addChild(back, "&Save", "Button", 5001);
    ws.addChild(front, "Cancel", "Button", 5002);
    WindowTargeting wt(ws);
    EXPECT_EQ(wt.FindWindowByPattern("*Notepad", ""), front);
    EXPECT_EQ(wt.FindWindowByPattern("*Notepad", "   "), front); // blank child text: no child test
    // "&Save" contains "SAVE" in upper case; the top-level window is returned.
    EXPECT_EQ(wt.FindWindowByPattern("*Notepad", "save"), back);
    EXPECT_EQ(wt.FindWindowByPattern("*Notepad", "Print"), 0u);
    EXPECT_EQ(wt.FindWindowByPattern("Calculator", ""), 0u);
    EXPECT_EQ(wt.FindWindowByPattern("~Report - *", ""), back);
    // The child list of the last candidate stays for the pickers.
    ASSERT_EQ(wt.lastChildList().size(), 1u);
    EXPECT_EQ(wt.lastChildList()[0].text, "&Save");
}

TEST(WindowTargeting, HiddenAndUntitledWindows) {
    FakeWindowSystem ws;
    ws.add(""); // no title: never listed
    const WindowHandle hidden = ws.add("Secret", false);
    const WindowHandle shown = ws.add("Secret", true);
    WindowTargeting wt(ws);
    EXPECT_EQ(wt.ListWindows().size(), 2u);
    EXPECT_EQ(wt.FindWindowByPattern("Secret", ""), hidden);
    wt.excludeHiddenWindows = true;
    EXPECT_EQ(wt.ListWindows().size(), 1u);
    EXPECT_EQ(wt.FindWindowByPattern("Secret", ""), shown);
    ws.remove(shown);
    EXPECT_EQ(wt.FindWindowByPattern("Secret", ""), 0u);
}

TEST(WindowTargeting, ListsAreRebuiltEveryTimeAndTextsCut) {
    FakeWindowSystem ws;
    WindowTargeting wt(ws);
    EXPECT_EQ(wt.FindWindowByPattern("Later", ""), 0u);
    const WindowHandle later = ws.add("Later");
    EXPECT_EQ(wt.FindWindowByPattern("Later", ""), later);
    ws.add(std::string(300, 'x'));
    EXPECT_EQ(wt.ListWindows().back().text.size(), kMaxWindowText);
    ws.noDisplay = true;
    EXPECT_TRUE(wt.ListWindows().empty());
    EXPECT_EQ(wt.FindWindowByPattern("*", ""), 0u);
}

TEST(WindowTargeting, FocusAndClose) {
    FakeWindowSystem ws;
    const WindowHandle own = ws.add("Quandrel");
    const WindowHandle editor = ws.add("Untitled - Editor");
    ws.addChild(editor, "Save", "Button", 6000);
    WindowTargeting wt(ws);

    EXPECT_EQ(wt.FocusText(), "");
    WindowStatus st = WindowStatus::Failed;
    EXPECT_EQ(wt.SetFocus("untitled - *", "SAVE", &st), editor);
    EXPECT_EQ(st, WindowStatus::Ok);
    EXPECT_EQ(wt.FocusText(), "Untitled - Editor");
    EXPECT_EQ(wt.SetFocus("Nothing", "", &st), 0u);
    EXPECT_EQ(st, WindowStatus::NotFound);

    EXPECT_EQ(wt.CloseProgram("Nothing*", ""), CloseOutcome::NotFound);
    EXPECT_EQ(wt.CloseProgram("*Editor", "Save"), CloseOutcome::Closed);
    EXPECT_EQ(ws.closed.back(), editor);
    // Without a pattern: the foreground window, or the started program's window
    // when the foreground window is our own.
    ws.foreground = own;
    EXPECT_EQ(wt.CloseProgram("", "", own, 0), CloseOutcome::NoWindow);
    EXPECT_EQ(wt.CloseProgram("", "", own, editor), CloseOutcome::Closed);
    ws.foreground = 0;
    EXPECT_EQ(wt.CloseProgram("  ", ""), CloseOutcome::NoWindow);
    ws.noDisplay = true;
    ws.foreground = editor;
    EXPECT_EQ(wt.CloseProgram("", ""), CloseOutcome::Failed);
}

TEST(WindowTargeting, LogWindowsFixedWidthLines) {
    qdtest::TempDir dir;
    FakeWindowSystem ws;
    const WindowHandle main = ws.add("Main Window");
    ws.addChild(main, "<>", "Static", 7000); // skipped
    ws.addChild(main, "OK", "Button", 7001);
    ws.addChild(main, "Panel", "MDIWindow", 7002); // "Win" in the class: listed again with its children
    ws.addChild(main, "Label", "label", 0);        // no window of its own
    ws.add("Second");
    WindowTargeting wt(ws);
    const auto file = dir / "windows.txt";
    EXPECT_EQ(wt.LogWindows(file.string()), 3);
    const std::string text = qdtest::readFile(file);
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t nl = text.find('\n', at);
        lines.push_back(text.substr(at, nl - at));
        at = nl + 1;
    }
    ASSERT_EQ(lines.size(), 6u);
    for (const std::string& l : lines)
        EXPECT_EQ(l.size(), 124u) << l;
    EXPECT_EQ(lines[0], std::string("Main Window") + std::string(29, ' ') + "1000" + std::string(8, ' ') +
                            std::string(72, ' '));
    EXPECT_EQ(lines[1].substr(0, 52), std::string(52, ' '));
    EXPECT_EQ(lines[1].substr(52, 40), "OK" + std::string(38, ' '));
    EXPECT_EQ(lines[1].substr(92, 20), "Button" + std::string(14, ' '));
    EXPECT_EQ(lines[1].substr(112), "7001" + std::string(8, ' '));
    EXPECT_EQ(lines[2].substr(52, 5), "Panel");
    EXPECT_EQ(lines[4].substr(0, 6), "Second");
    EXPECT_EQ(lines[5].substr(0, 40), "Panel (Child of Main Window)" + std::string(12, ' '));
    EXPECT_EQ(lines[5].substr(40, 4), "7002");
    EXPECT_EQ(wt.LogWindows((dir / "no such dir" / "x.txt").string()), -1);
}

} // namespace
} // namespace qd
