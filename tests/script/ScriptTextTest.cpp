#include "script/ScriptText.h"
#include "../data/StoreFixture.h"

#include <gtest/gtest.h>

#include <random>

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
    EXPECT_EQ(TokenizeArguments("\"in \"\"side\""), (std::vector<std::string>{"in \"side"}));
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

    s = parse("START x y ACTION=properties");
    EXPECT_EQ(s.DDEApplicationTopic, "Print"); // the first two letters decide
    s = parse("START x y ACTION=runas");
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
    // A user of 128 characters ending in a two-byte letter stays whole, and the
    // text line gives back user and password.
    const std::string user = std::string(127, 'b') + "\xC3\xA9";
    f = parse("FILE \"FTP Upload\" l r host " + user + " pw");
    EXPECT_EQ(f.DDEApplicationTopic, user + "pw");
    EXPECT_EQ(*StepToTextLine(f), "FILE \"FTP Upload\" l r host " + user + " pw");
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

TEST(ScriptTextParse, StartOptionsCountOnlyAsTrailingUnquotedWords) {
    // Option-like text inside an address is part of the address.
    ScriptingRecord s = parse("START \"http://h/x?MODE=3&WAIT=7&ACTION=PRINT\"");
    EXPECT_EQ(s.Command, "http://h/x?MODE=3&WAIT=7&ACTION=PRINT");
    EXPECT_EQ(s.DDEApplicationName, "0210");
    EXPECT_EQ(s.DDEApplicationTopic, "");
    EXPECT_EQ(s.TimeElapsed, 0);
    s = parse("START firefox http://h/?a=1 MODE=3");
    EXPECT_EQ(s.Path, "http://h/?a=1");
    EXPECT_EQ(s.DDEApplicationName, "0230");
    // An option word in the middle is an argument, not an option.
    s = parse("START prog MODE=3 folder");
    EXPECT_EQ(s.Path, "MODE=3");
    EXPECT_EQ(s.DDEApplicationName, "0210");
    // Without a folder the option is still an option, not the folder.
    s = parse("START prog WAIT=5");
    EXPECT_EQ(s.Command, "prog");
    EXPECT_EQ(s.Path, "");
    EXPECT_EQ(s.DDEApplicationName, "1210");
    EXPECT_EQ(s.TimeElapsed, 5);
    // A quoted option word is an argument.
    s = parse("START prog \"WAIT=5\"");
    EXPECT_EQ(s.Path, "WAIT=5");
    EXPECT_EQ(s.DDEApplicationName, "0210");
    // /MODAL inside a quoted message is text.
    s = parse("DISPLAY \"type /modal to stop\" Title");
    EXPECT_EQ(s.DDEApplicationName, "type /modal to stop");
    EXPECT_EQ(s.SecondsToWait, 1);
}

TEST(ScriptTextText, StartWithDefaultOptionsWritesNoOptionWords) {
    ScriptingRecord s;
    s.Action = "Start Program";
    s.Command = "notepad.exe";
    s.DDEApplicationName = "0210";
    EXPECT_EQ(StepsToText({s}), "START notepad.exe\r\n");
    s.DDEApplicationName = "";
    EXPECT_EQ(StepsToText({s}), "START notepad.exe\r\n");
    s.DDEApplicationName = "0230";
    EXPECT_EQ(StepsToText({s}), "START notepad.exe \"\" MODE=3\r\n");
}

TEST(ScriptTextText, QuotesInsideArgumentsSurviveAShowSetRoundTrip) {
    ScriptingRecord s;
    s.Action = "Start Program";
    s.Command = "\"/opt/my app/run\" --x";
    s.Path = "WAIT=5";
    const std::string line = *StepToTextLine(s);
    EXPECT_EQ(line, "START \"\"\"/opt/my app/run\"\" --x\" \"WAIT=5\"");
    const ScriptingRecord back = parse(line);
    EXPECT_EQ(back.Command, s.Command);
    EXPECT_EQ(back.Path, "WAIT=5");
    EXPECT_EQ(back.DDEApplicationName, "0210");
    EXPECT_EQ(TokenizeArguments("\"a \"\"b\"\"\" \"\"\"\" \"\""),
              (std::vector<std::string>{"a \"b\"", "\"", ""}));
}

// Random steps of every action the text carries, with field values chosen to
// trip the reader: quotes, option words, "/MODAL", numbers and wait modes in
// first place, brackets, commas, non-ASCII. Showing, setting and showing again
// must give the same text.
TEST(ScriptTextText, ShowSetShowIsTheIdentityForRandomSteps) {
    const std::vector<std::string> pieces = {"a",
                                             "Zed",
                                             "two words",
                                             "\"",
                                             "\"\"",
                                             "say \"hi\"",
                                             "\"/opt/my app/run\" --x",
                                             "WAIT=5",
                                             "mode=3",
                                             "ACTION=PRINT",
                                             "/TRANSLATE",
                                             "/modal",
                                             "/MODAL",
                                             "7",
                                             "0",
                                             "-3",
                                             "1.5",
                                             "OR",
                                             "either",
                                             "Both",
                                             "[DATE]",
                                             "x[y",
                                             "end]",
                                             "a,b",
                                             ",",
                                             "c:\\dir",
                                             "/usr/bin",
                                             "ümlaut",
                                             "日本",
                                             "http://u:p@h/?MODE=3&WAIT=7",
                                             " lead",
                                             "=",
                                             "<>",
                                             "!",
                                             "KEYS"};
    const std::vector<std::string> actions = {"Display Message",    "Start Program", "Close Program",
                                              "Exit Script",        "Send Keys",     "DDE",
                                              "Set Focus",          "Wait",          "If Window...",
                                              "If Time Elapsed...", "...End If",     "File Actions",
                                              "Send Email",         "Set Value",     "If Value...",
                                              "Start Script",       "Comment"};
    std::mt19937 rng(20261207);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    auto text = [&] {
        std::string t;
        const std::size_t n = pick(3);
        for (std::size_t i = 0; i <= n; ++i)
            t += pieces[pick(pieces.size())];
        return pick(6) == 0 ? std::string() : t;
    };
    auto number = [&] {
        return static_cast<std::int32_t>(std::uniform_int_distribution<int>(-5, 200000)(rng));
    };
    for (int round = 0; round < 3000; ++round) {
        ScriptingRecord s;
        s.Action = actions[pick(actions.size())];
        for (std::string* f :
             {&s.Keystrokes, &s.WaitForWindow, &s.FocusOnWindow, &s.WindowTitleToCheckFor, &s.Command,
              &s.Path, &s.DDEApplicationName, &s.DDEApplicationTopic, &s.DDECommand})
            *f = text();
        s.SecondsToWait = pick(3) == 0 ? number() : static_cast<std::int32_t>(pick(2));
        s.TimeElapsed = number();
        s.EmailID = number();
        s.WindowExistance = pick(2) ? "Exists" : "Does not exist";
        s.IfTimeElapsed = pick(2) ? "Greater than" : "Less than";
        if (s.Action == "File Actions") s.DDEType = FileOperationFromText(pieces[pick(pieces.size())]);
        if (s.Action == "Start Program" && pick(2))
            s.DDEApplicationName =
                std::string{"01"[pick(2)], "0123"[pick(4)], "1238"[pick(4)], "01"[pick(2)]};
        if (s.Action == "Start Program" && pick(2))
            s.DDEApplicationTopic =
                std::vector<std::string>{"Open", "Print", "RUNAS", "runas", "Printto"}[pick(5)];
        if (s.Action == "Start Script")
            s.Path = std::vector<std::string>{"Append", "Jump to (Execute and skip)",
                                              "Insert (Execute and continue)", "", "xyz"}[pick(5)];
        fitStepFields(s);
        const std::string shown = StepsToText({s});
        ScriptedUserInterface ui;
        const std::vector<ScriptingRecord> back = TextToSteps(shown, 1, &ui);
        ASSERT_EQ(StepsToText(back), shown) << "round " << round;
        EXPECT_TRUE(ui.shown.empty()) << shown;
    }
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
