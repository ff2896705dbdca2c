#include "script/ScriptText.h"
#include "../data/StoreFixture.h"

#include <gtest/gtest.h>

using namespace qd;

namespace {

ScriptingRecord parse(const std::string& line) {
    ParsedLine p = ParseScriptLine(line);
    EXPECT_EQ(p.kind, ParsedLine::Kind::Step) << line;
    return p.step;
}

TEST(ScriptTextTokens, SeparatorsQuotesAndBrackets) {
    EXPECT_EQ(TokenizeArguments("  a b,c"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(TokenizeArguments("\"a b\" \"\" c"), (std::vector<std::string>{"a b", "", "c"}));
    EXPECT_EQ(TokenizeArguments("[DATE, X] y"), (std::vector<std::string>{"[DATE, X]", "y"}));
    EXPECT_EQ(TokenizeArguments("a,,b"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(TokenizeArguments("a   b"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(TokenizeArguments("\"in \"\"side\""), (std::vector<std::string>{"in \"\"side"}));
    EXPECT_TRUE(TokenizeArguments("").empty());
}

TEST(ScriptTextParse, WaitForms) {
    ScriptingRecord w = parse("WAIT OR 30 \"Connect To\"");
    EXPECT_EQ(w.Action, "Wait");
    EXPECT_EQ(w.DDEApplicationName, "OR");
    EXPECT_EQ(w.SecondsToWait, 30);
    EXPECT_EQ(w.WaitForWindow, "Connect To");

    w = parse("WAIT \"Untitled - *\"");
    EXPECT_EQ(w.WaitForWindow, "Untitled - *");
    EXPECT_EQ(w.SecondsToWait, 0);
    EXPECT_EQ(w.DDEApplicationName, "");

    w = parse("WAIT 10");
    EXPECT_EQ(w.SecondsToWait, 10);
    EXPECT_EQ(w.WaitForWindow, "");
    EXPECT_EQ(w.DDEApplicationName, "");

    w = parse("WAIT 5 Notepad Save");
    EXPECT_EQ(w.SecondsToWait, 5);
    EXPECT_EQ(w.WaitForWindow, "Notepad");
    EXPECT_EQ(w.FocusOnWindow, "Save");
    EXPECT_EQ(w.DDEApplicationName, "Both");

    w = parse("wait Notepad Save 7");
    EXPECT_EQ(w.WaitForWindow, "Notepad");
    EXPECT_EQ(w.FocusOnWindow, "Save");
    EXPECT_EQ(w.SecondsToWait, 7);
    EXPECT_EQ(w.DDEApplicationName, "Both");

    // The reference line with the mode after the seconds reads by the second form.
    w = parse("WAIT 999 Or window_title optional_content");
    EXPECT_EQ(w.SecondsToWait, 999);
    EXPECT_EQ(w.WaitForWindow, "Or");
    EXPECT_EQ(w.FocusOnWindow, "window_title");
    EXPECT_EQ(w.DDEApplicationName, "Both");
}

TEST(ScriptTextParse, StartOptions) {
    ScriptingRecord s = parse("START notepad.exe \"\" WAIT=60 MODE=2 /TRANSLATE");
    EXPECT_EQ(s.Action, "Start Program");
    EXPECT_EQ(s.Command, "notepad.exe");
    EXPECT_EQ(s.Path, "");
    EXPECT_EQ(s.DDEApplicationName, "1221");
    EXPECT_EQ(s.TimeElapsed, 60);

    s = parse("START \"/usr/bin/gedit\" /tmp PRIORITY=1 action=print");
    EXPECT_EQ(s.Command, "/usr/bin/gedit");
    EXPECT_EQ(s.Path, "/tmp");
    EXPECT_EQ(s.DDEApplicationName, "0110");
    EXPECT_EQ(s.DDEApplicationTopic, "Print");
    EXPECT_EQ(s.TimeElapsed, 0);

    s = parse("START x y ACTION=properties more");
    EXPECT_EQ(s.DDEApplicationTopic, "Print"); // the first two letters decide
    s = parse("START x y ACTION=runas more");
    EXPECT_EQ(s.DDEApplicationTopic, "RUNAS");
    s = parse("START x y ACTION=Open WAIT=1234567");
    EXPECT_EQ(s.DDEApplicationTopic, "Open");
    EXPECT_EQ(s.TimeElapsed, 12345);
}

TEST(ScriptTextParse, FileOperations) {
    ScriptingRecord f = parse("FILE \"make directory\" c:\\temp\\new");
    EXPECT_EQ(f.Action, "File Actions");
    EXPECT_EQ(f.DDEType, "Make Directory");
    EXPECT_EQ(f.Command, "c:\\temp\\new");
    EXPECT_EQ(parse("FILE zip a b").DDEType, "Copy");
    EXPECT_EQ(parse("FILE size a").DDEType, "Get File Size");
    EXPECT_EQ(parse("FILE \"File Exists\" a").DDEType, "If File Exists");
    EXPECT_EQ(parse("FILE ftp remote local").DDEType, "FTP Download");

    f = parse("FILE \"FTP Upload\" local.txt /up/r.txt host.org bob \"pw 1\"");
    EXPECT_EQ(f.DDEType, "FTP Upload");
    EXPECT_EQ(f.Command, "local.txt");
    EXPECT_EQ(f.Path, "/up/r.txt");
    EXPECT_EQ(f.DDEApplicationName, "host.org");
    ASSERT_EQ(f.DDEApplicationTopic.size(), 132u);
    EXPECT_EQ(f.DDEApplicationTopic.substr(0, 3), "bob");
    EXPECT_EQ(f.DDEApplicationTopic.substr(128), "pw 1");
    // Other operations take no host, user or password.
    f = parse("FILE copy a b host user pass");
    EXPECT_EQ(f.DDEApplicationName, "");
}

TEST(ScriptTextParse, OtherKeywords) {
    ScriptingRecord s = parse("SET count,5");
    EXPECT_EQ(s.Action, "Set Value");
    EXPECT_EQ(s.Path, "count");
    EXPECT_EQ(s.Command, "5");

    s = parse("DISPLAY \"Hello there\" Title");
    EXPECT_EQ(s.Action, "Display Message");
    EXPECT_EQ(s.DDEApplicationName, "Hello there");
    EXPECT_EQ(s.DDEApplicationTopic, "Title");
    EXPECT_EQ(s.SecondsToWait, 1);
    s = parse("DISPLAY \"Hello there\" Title /modal");
    EXPECT_EQ(s.SecondsToWait, 0);
    EXPECT_EQ(s.FocusOnWindow, "");
    s = parse("DISPLAY msg /MODAL");
    EXPECT_EQ(s.DDEApplicationTopic, "");

    s = parse("   KEYS  Hello, [ENTER]");
    EXPECT_EQ(s.Action, "Send Keys");
    EXPECT_EQ(s.Keystrokes, " Hello, [ENTER]");

    s = parse("SCRIPT next.qds j");
    EXPECT_EQ(s.Path, "Jump to (Execute and skip)");
    EXPECT_EQ(parse("SCRIPT next.qds insert").Path, "Insert (Execute and continue)");
    EXPECT_EQ(parse("SCRIPT next.qds append").Path, "Append");
    EXPECT_EQ(parse("SCRIPT next.qds other").Path, "other");

    s = parse("IF FILESIZE > 1000");
    EXPECT_EQ(s.Command, "FILESIZE");
    EXPECT_EQ(s.WindowTitleToCheckFor, ">");
    EXPECT_EQ(s.WaitForWindow, "1000");
    EXPECT_EQ(parse("IFNOTWINDOW Calc").WindowExistance, "Does not exist");
    EXPECT_EQ(parse("IFWINDOW Calc").WindowExistance, "Exists");
    EXPECT_EQ(parse("IFTIMELESS 30").IfTimeElapsed, "Less than");
    EXPECT_EQ(parse("IFTIME 30").TimeElapsed, 30);
    EXPECT_EQ(parse("EMAIL 17").EmailID, 17);
    EXPECT_EQ(parse("! \"a note\"").Command, "a note");
    EXPECT_EQ(parse("END").Action, "...End If");
    EXPECT_EQ(parse("exit").Action, "Exit Script");
    EXPECT_EQ(parse("DDE app topic \"[cmd]\"").DDECommand, "[cmd]");
}

TEST(ScriptTextText, UnknownKeywordsAreReportedAndKept) {
    ScriptedUserInterface ui;
    const auto steps = TextToSteps("KEYS a\r\n\r\nBOGUS one two\nEND", 7, &ui);
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0].Sequence, 1);
    EXPECT_EQ(steps[1].Action, "BOGUS");
    EXPECT_EQ(steps[1].Sequence, 3); // the empty line took number 2
    EXPECT_EQ(steps[1].ID, 7);
    EXPECT_EQ(steps[2].Sequence, 4);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].title, "Error");
    EXPECT_EQ(ui.shown[0].text, "Unknown script action:\n\nBOGUS\none two");
}

TEST(ScriptTextText, GeneratorLinesAndIndentation) {
    std::vector<ScriptingRecord> steps(6);
    steps[0].Action = "If Window...";
    steps[0].WindowExistance = "Exists";
    steps[0].WindowTitleToCheckFor = "Untitled - Notepad";
    steps[1].Action = "If Value...";
    steps[1].Command = "COUNT";
    steps[1].WindowTitleToCheckFor = "=";
    steps[1].WaitForWindow = "";
    steps[2].Action = "Send Keys";
    steps[2].Keystrokes = "say \"\"";
    steps[3].Action = "...End If";
    steps[4].Action = "...End If";
    steps[5].Action = "Start Program";
    steps[5].Command = "notepad.exe";
    steps[5].DDEApplicationName = "1221";
    steps[5].TimeElapsed = 60;
    EXPECT_EQ(StepsToText(steps), "IFWINDOW \"Untitled - Notepad\"\r\n"
                                  "   IF COUNT =\r\n"
                                  "      KEYS say \"\"\r\n"
                                  "   END\r\n"
                                  "END\r\n"
                                  "START notepad.exe \"\" WAIT=60 MODE=2 /TRANSLATE\r\n");
}

TEST(ScriptTextText, GeneratorQuotesAndModes) {
    ScriptingRecord s;
    s.Action = "Set Value";
    s.Path = "LIST";
    s.Command = "1,2";
    EXPECT_EQ(StepToTextLine(s), "SET LIST \"1,2\"");
    s = {};
    s.Action = "Display Message";
    s.DDEApplicationName = "Hi";
    s.SecondsToWait = 0;
    EXPECT_EQ(StepsToText({s}), "DISPLAY Hi \"\" \"\" /MODAL\r\n");
    s.SecondsToWait = 1;
    EXPECT_EQ(StepsToText({s}), "DISPLAY Hi\r\n");
    s = {};
    s.Action = "Wait";
    s.SecondsToWait = 5;
    s.WaitForWindow = "Connect To";
    s.DDEApplicationName = "";
    // Without a mode the seconds come first, so the line reads back as a wait.
    EXPECT_EQ(StepToTextLine(s), "WAIT 5 \"Connect To\" \"\"");
    EXPECT_EQ(ParseScriptLine(*StepToTextLine(s)).step.WaitForWindow, "Connect To");
    s.DDEApplicationName = "Either";
    EXPECT_EQ(StepToTextLine(s), "WAIT Either 5 \"Connect To\" \"\"");
    s = {};
    s.Action = "Comment";
    EXPECT_EQ(StepsToText({s}), "COMMENT\r\n");
    s.Action = "Wait for Program End";
    EXPECT_FALSE(StepToTextLine(s));
}

using ScriptTextStoreTest = qdtest::StoreTest;

TEST_F(ScriptTextStoreTest, TextToScriptReplacesTheStepsOfOneTask) {
    ASSERT_TRUE(
        ReplaceScriptSteps(*ds, tables::Scripting(), 2, {ParseScriptLine("KEYS other task").step}).ok());
    EXPECT_TRUE(TextToScript(*ds, 1, "KEYS abc\r\nIFWINDOW Calc\r\nEXIT\r\nEND\r\n", ui));
    EXPECT_EQ(ScriptToText(*ds, 1, ui), "KEYS abc\r\nIFWINDOW Calc\r\n   EXIT\r\nEND\r\n");
    EXPECT_EQ(ScriptToText(*ds, 2, ui), "KEYS other task\r\n");
    EXPECT_TRUE(ui.shown.empty());

    EXPECT_FALSE(TextToScript(*ds, 1, "", ui));
    EXPECT_EQ(lastText(), "Nothing to save.");
    EXPECT_EQ(LoadScriptSteps(*ds, 1).steps.size(), 4u);

    EXPECT_EQ(ScriptToText(*ds, 0, ui), "");
    EXPECT_EQ(lastText(), "No task ID");
}

TEST(ScriptTextReference, EveryReferenceLineParses) {
    ASSERT_EQ(ScriptTextReferenceLines().size(), 30u);
    for (const auto& line : ScriptTextReferenceLines())
        EXPECT_EQ(ParseScriptLine(line).kind, ParsedLine::Kind::Step) << line;
}

} // namespace
