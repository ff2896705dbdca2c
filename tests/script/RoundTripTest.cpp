// Random step lists of every action through the script text and the script
// file and back.
//
// Fields the script text does not carry (left at their defaults here):
//   every action: NextTaskID, NetworkUser, LastChangeDate/Time, OriginalID
//   DDE: DDEType, DDELinkItem (and "DDE" reads back as the long name)
//   Display Message: SecondsToWait other than 0/1 (reads back as 1)
//   Start Program: TimeElapsed without the wait option; option characters that
//     mean the default ("0210" is what a line without options gives); verbs
//     beyond 7 letters
//   Wait: the mode and child text of a wait without a window
//   File Actions: the second operand of Delete and Recycle; host, user and
//     password of the non-FTP operations (HTTP carries the host)
// Fields the script file does not carry: all but those of its field table;
// comments are not written at all.
#include "script/FileActions.h"
#include "script/ScriptFile.h"
#include "script/ScriptText.h"

#include <gtest/gtest.h>

#include <random>

using namespace qd;

namespace {

const std::vector<std::string> kWords = {
    "alpha", "Beta",   "c:\\dir\\f.txt", "/usr/bin/x", "two words", "a,b",       "[DATE]", "x[y",  "[A [B]]",
    "=1+2",  "ümlaut", "tab\there",      "semi;colon", "q?*",       "Note:  ok", "[?]",    "end]", " lead"};

class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    std::string word() { return kWords[static_cast<std::size_t>(pick(static_cast<int>(kWords.size())))]; }
    std::string text(bool allowEmpty = true) {
        if (allowEmpty && pick(5) == 0) return "";
        std::string s = word();
        if (pick(3) == 0) s += "_" + word();
        return s;
    }
    template <class T> const T& oneOf(const std::vector<T>& v) {
        return v[static_cast<std::size_t>(pick(static_cast<int>(v.size())))];
    }
    std::string oneOf(std::initializer_list<const char*> v) {
        return oneOf(std::vector<std::string>(v.begin(), v.end()));
    }
    std::int32_t number(int max) { return pick(max + 1); }

    // A step as the script text can hold it.
    ScriptingRecord textStep(int kind) {
        ScriptingRecord s;
        switch (kind) {
        case 0:
            s.Action = "Display Message";
            s.DDEApplicationName = text();
            s.DDEApplicationTopic = text();
            s.FocusOnWindow = text();
            s.SecondsToWait = pick(2);
            break;
        case 1: {
            s.Action = "Start Program";
            s.Command = text(false);
            s.Path = text();
            std::string o = "0210";
            if (pick(2)) {
                o[0] = '1';
                s.TimeElapsed = number(99999);
            }
            o[1] = "123"[pick(3)];
            o[2] = "12345678"[pick(8)];
            o[3] = "01"[pick(2)];
            s.DDEApplicationName = o;
            s.DDEApplicationTopic = oneOf({"", "Open", "View", "Print", "Play", "Explore", "Find", "Edit"});
            break;
        }
        case 2:
            s.Action = "Close Program";
            s.Command = text();
            s.Path = text();
            break;
        case 3:
            s.Action = "Exit Script";
            break;
        case 4:
            s.Action = "Send Keys";
            s.Keystrokes = text() + (pick(2) ? " \"q\" [ENTER]" : "");
            break;
        case 5:
            s.Action = "DDE (Dynamic Data Exchange)";
            s.DDEApplicationName = text();
            s.DDEApplicationTopic = text();
            s.DDECommand = text();
            break;
        case 6:
            s.Action = "Set Focus";
            s.FocusOnWindow = text();
            s.WaitForWindow = text();
            break;
        case 7:
            s.Action = "Wait";
            switch (pick(3)) {
            case 0:
                s.SecondsToWait = 1 + number(500);
                s.WaitForWindow = text(false);
                s.FocusOnWindow = text();
                s.DDEApplicationName = oneOf({"AND", "OR", "EITHER", "BOTH", "Either", "Both", "or"});
                break;
            case 1:
                s.WaitForWindow = text(false);
                s.FocusOnWindow = text();
                break;
            default:
                s.SecondsToWait = 1 + number(500);
                break;
            }
            break;
        case 8:
            s.Action = "If Window...";
            s.WindowExistance = oneOf({"Exists", "Does not exist"});
            s.WindowTitleToCheckFor = text();
            s.FocusOnWindow = text();
            break;
        case 9:
            s.Action = "If Time Elapsed...";
            s.IfTimeElapsed = oneOf({"Greater than", "Less than"});
            s.TimeElapsed = number(100000);
            break;
        case 10:
            s.Action = "...End If";
            break;
        case 11: {
            s.Action = "File Actions";
            s.DDEType = oneOf(FileActionOperations());
            s.Command = text();
            if (s.DDEType != "Delete" && s.DDEType != "Recycle") s.Path = text();
            if (s.DDEType == "FTP Upload" || s.DDEType == "FTP Download" || s.DDEType == "HTTP Download")
                s.DDEApplicationName = text();
            if (s.DDEType == "FTP Upload" || s.DDEType == "FTP Download") {
                std::string user = text();
                const std::string password = text();
                if (!password.empty()) user.resize(128, ' ');
                s.DDEApplicationTopic = user + password;
            }
            break;
        }
        case 12:
            s.Action = "Send Email";
            s.EmailID = number(1000000);
            break;
        case 13:
            s.Action = "Set Value";
            s.Path = text();
            s.Command = text();
            break;
        case 14:
            s.Action = "If Value...";
            s.Command = text();
            s.WindowTitleToCheckFor = oneOf({"=", "<", "<=", ">", "=>", "<>"});
            s.WaitForWindow = text();
            break;
        case 15:
            s.Action = "Start Script";
            s.Command = text();
            s.Path =
                oneOf({"Append", "Jump to (Execute and skip)", "Insert (Execute and continue)", "xyz", ""});
            break;
        default:
            s.Action = "Comment";
            s.Command = text();
            break;
        }
        fitStepFields(s);
        return s;
    }

    // A step as the script file holds it: every field of its row, any text.
    std::string anyText() {
        static const std::vector<std::string> extra = {"say \"hi\"", "line\r\nbreak", "comma, here", ""};
        return pick(4) == 0 ? oneOf(extra) : text();
    }
    ScriptingRecord fileStep(int kind) {
        ScriptingRecord s;
        static const std::vector<std::string> actions = {"Close Program",
                                                         "Start Program",
                                                         "Display Message",
                                                         "Send Keys",
                                                         "DDE (Dynamic Data Exchange)",
                                                         "DDE",
                                                         "Set Focus",
                                                         "Wait",
                                                         "If Window...",
                                                         "If Time Elapsed...",
                                                         "...End If",
                                                         "Exit Script",
                                                         "File Actions",
                                                         "Send Email",
                                                         "Set Value",
                                                         "If Value...",
                                                         "Start Script"};
        s.Action = actions[static_cast<std::size_t>(kind) % actions.size()];
        const std::string a = s.Action;
        auto n = [&] {
            return static_cast<std::int32_t>(std::uniform_int_distribution<int>(-5, 1000000)(rng_));
        };
        if (a == "Close Program" || a == "Start Script" || a == "Set Value") {
            s.Command = anyText();
            s.Path = anyText();
        } else if (a == "Start Program") {
            s.Command = anyText();
            s.Path = anyText();
            s.DDEApplicationName = anyText();
            s.TimeElapsed = n();
        } else if (a == "Display Message") {
            s.DDEApplicationName = anyText();
            s.DDEApplicationTopic = anyText();
            s.SecondsToWait = n();
            s.FocusOnWindow = anyText();
        } else if (a == "Send Keys") {
            s.Keystrokes = anyText();
        } else if (a.rfind("DDE", 0) == 0) {
            s.DDEType = oneOf({"Execute", "Request", ""});
            s.DDEApplicationName = anyText();
            s.DDEApplicationTopic = anyText();
            s.DDELinkItem = anyText();
            s.DDECommand = anyText();
        } else if (a == "Set Focus") {
            s.FocusOnWindow = anyText();
            s.WaitForWindow = anyText();
        } else if (a == "Wait") {
            s.SecondsToWait = n();
            s.WaitForWindow = anyText();
            s.DDEApplicationName = oneOf({"Both", "Either", "OR", "or", ""});
            s.FocusOnWindow = anyText();
        } else if (a == "If Window...") {
            s.WindowExistance = oneOf({"Exists", "Does not exist"});
            s.WindowTitleToCheckFor = anyText();
            s.FocusOnWindow = anyText();
        } else if (a == "If Time Elapsed...") {
            s.IfTimeElapsed = oneOf({"Greater than", "Less than"});
            s.TimeElapsed = n();
        } else if (a == "File Actions") {
            s.DDEType = oneOf(FileActionOperations());
            s.Command = anyText();
            s.Path = anyText();
            s.DDEApplicationName = anyText();
            s.DDEApplicationTopic = anyText();
        } else if (a == "Send Email") {
            s.EmailID = n();
        } else if (a == "If Value...") {
            s.Command = anyText();
            s.WindowTitleToCheckFor = oneOf({"=", "<", "<>", ">="});
            s.WaitForWindow = anyText();
        }
        fitStepFields(s);
        return s;
    }

private:
    std::mt19937 rng_;
};

TEST(RoundTripTest, ScriptTextGivesBackTheSameSteps) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        Generator g(seed);
        std::vector<ScriptingRecord> steps;
        const int count = 1 + g.pick(20);
        for (int i = 0; i < count; ++i)
            steps.push_back(g.textStep(g.pick(17)));
        const std::string text = StepsToText(steps);
        ScriptedUserInterface ui;
        std::vector<ScriptingRecord> back = TextToSteps(text, 42, &ui);
        EXPECT_TRUE(ui.shown.empty()) << text;
        ASSERT_EQ(back.size(), steps.size()) << text;
        for (std::size_t i = 0; i < steps.size(); ++i) {
            ScriptingRecord expected = steps[i];
            expected.ID = 42;
            expected.Sequence = static_cast<std::int32_t>(i + 1);
            EXPECT_EQ(back[i], expected) << "seed " << seed << " step " << i << "\n" << text;
        }
        if (HasFailure()) return;
    }
}

TEST(RoundTripTest, ScriptFileGivesBackTheSameSteps) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        Generator g(seed);
        std::vector<ScriptingRecord> steps;
        std::vector<ScriptingRecord> expected;
        const int count = 1 + g.pick(20);
        for (int i = 0; i < count; ++i) {
            if (g.pick(10) == 0) {
                ScriptingRecord c;
                c.Action = "Comment";
                c.Command = "not carried";
                steps.push_back(c);
                continue;
            }
            steps.push_back(g.fileStep(g.pick(17)));
            ScriptingRecord e = steps.back();
            NormaliseImportedStep(e);
            e.Sequence = static_cast<std::int32_t>(expected.size() + 1);
            expected.push_back(e);
        }
        const std::string text = WriteScriptFileText(steps);
        ScriptFileContent back = ParseScriptFileText(text);
        EXPECT_TRUE(back.unrecognized.empty());
        ASSERT_EQ(back.steps.size(), expected.size()) << text;
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(back.steps[i], expected[i]) << "seed " << seed << " step " << i << "\n" << text;
        if (HasFailure()) return;
    }
}

} // namespace
