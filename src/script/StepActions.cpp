#include "script/StepActions.h"

#include "script/ScriptStrings.h"

#include <algorithm>
#include <cstdlib>

namespace qd {

std::string StepField::get(const ScriptingRecord& s) const {
    if (text) return s.*text;
    if (number) return std::to_string(s.*number);
    return {};
}

void StepField::set(ScriptingRecord& s, std::string_view value) const {
    if (text) s.*text = std::string(value);
    if (number) s.*number = script::toLong(value);
}

namespace {

using R = ScriptingRecord;

constexpr StepField text(std::string R::*m) {
    return StepField{m, nullptr};
}
constexpr StepField number(std::int32_t R::*m) {
    return StepField{nullptr, m};
}

std::string t(std::string_view s) {
    return std::string(text::trimRight(s));
}

std::string secondsOrMinutes(long long seconds, const char* secondsWord) {
    if (seconds > 120 && seconds % 60 == 0) return std::to_string(seconds / 60) + " minutes";
    return std::to_string(seconds) + secondsWord;
}

// Description lines.

std::string describeCommand(const R& s) {
    return t(s.Command) + " " + t(s.Path);
}

std::string describeClose(const R& s) {
    const std::string d = describeCommand(s);
    return text::trimRight(d).empty() ? "Window with focus" : d;
}

std::string describeSetValue(const R& s) {
    return t(s.Path) + " = " + t(s.Command);
}

std::string describeIfValue(const R& s) {
    return t(s.Command) + " " + t(s.WindowTitleToCheckFor) + " " + t(s.WaitForWindow);
}

std::string describeFile(const R& s) {
    const std::string op = t(s.DDEType);
    if (op == "Delete" || op == "Recycle" || op == "Log Windows" || op == "Make Directory" ||
        op == "Remove Directory")
        return op + " " + t(s.Command);
    return op + " " + t(s.Command) + " to " + t(s.Path);
}

std::string describeKeys(const R& s) {
    return t(s.Keystrokes);
}

std::string describeDde(const R& s) {
    return t(s.DDEType) + " " + t(s.DDEApplicationName) + " " + t(s.DDEApplicationTopic);
}

std::string describeMessage(const R& s) {
    std::string d = t(s.DDEApplicationName) + " " + t(s.DDEApplicationTopic);
    if (s.SecondsToWait != 0 && !t(s.FocusOnWindow).empty()) d += " <" + t(s.FocusOnWindow) + ">";
    return d;
}

std::string describeFocus(const R& s) {
    std::string d = t(s.FocusOnWindow);
    if (!t(s.WaitForWindow).empty()) d += " (containing " + t(s.WaitForWindow) + ")";
    return d;
}

std::string describeIfWindow(const R& s) {
    if (!t(s.FocusOnWindow).empty())
        return t(s.WindowTitleToCheckFor) + " (containing " + t(s.FocusOnWindow) + ") " +
               t(s.WindowExistance);
    return t(s.WindowTitleToCheckFor) + " " + t(s.WindowExistance);
}

std::string describeIfTime(const R& s) {
    return secondsOrMinutes(s.TimeElapsed, " seconds");
}

std::string describeEmail(const R& s) {
    const std::string id = "Message #" + std::to_string(s.EmailID);
    return t(s.WindowTitleToCheckFor).empty() ? id : t(s.WindowTitleToCheckFor) + " - " + id;
}

std::string describeWait(const R& s) {
    if (s.SecondsToWait != 0) {
        std::string d = secondsOrMinutes(s.SecondsToWait, " seconds ");
        if (!t(s.WaitForWindow).empty()) d += " " + t(s.DDEApplicationName) + " " + t(s.WaitForWindow);
        return d;
    }
    std::string d = t(s.WaitForWindow);
    if (!t(s.FocusOnWindow).empty()) d += " (containing " + t(s.FocusOnWindow) + ")";
    return d;
}

std::vector<ActionDescriptor> makeTable() {
    using A = StepAction;
    std::vector<ActionDescriptor> v;
    auto row = [&v](ActionDescriptor d) { v.push_back(std::move(d)); };
    // clang-format off
    row({A::DisplayMessage, action::DisplayMessage, {}, true, StepTiming::Delay, BlockRole::None,
         true, {text(&R::DDEApplicationName), text(&R::DDEApplicationTopic), number(&R::SecondsToWait),
                text(&R::FocusOnWindow), {}},
         {"DISPLAY"}, TextRule::Display,
         {text(&R::DDEApplicationName), text(&R::DDEApplicationTopic), text(&R::FocusOnWindow)},
         describeMessage});
    row({A::StartProgram, action::StartProgram, {}, true, StepTiming::Delay, BlockRole::None,
         true, {text(&R::Command), text(&R::Path), text(&R::DDEApplicationName), number(&R::TimeElapsed), {}},
         {"START"}, TextRule::Start, {text(&R::Command), text(&R::Path)},
         describeCommand});
    row({A::CloseProgram, action::CloseProgram, {}, true, StepTiming::Delay, BlockRole::None,
         true, {text(&R::Command), text(&R::Path), {}, {}, {}},
         {"CLOSE"}, TextRule::Plain, {text(&R::Command), text(&R::Path)},
         describeClose});
    row({A::ExitScript, action::ExitScript, {}, true, StepTiming::Delay, BlockRole::None,
         true, {},
         {"EXIT"}, TextRule::Plain, {},
         nullptr});
    row({A::SendKeys, action::SendKeys, {action::SendKeystrokes}, true, StepTiming::Delay, BlockRole::None,
         true, {text(&R::Keystrokes), {}, {}, {}, {}},
         {"KEYS"}, TextRule::Keys, {},
         describeKeys});
    row({A::Dde, action::DDELong, {action::DDE}, true, StepTiming::Delay, BlockRole::None,
         true, {text(&R::DDEType), text(&R::DDEApplicationName), text(&R::DDEApplicationTopic),
                text(&R::DDELinkItem), text(&R::DDECommand)},
         {"DDE"}, TextRule::Plain,
         {text(&R::DDEApplicationName), text(&R::DDEApplicationTopic), text(&R::DDECommand)},
         describeDde});
    row({A::SetFocus, action::SetFocus, {}, true, StepTiming::Delay, BlockRole::None,
         true, {text(&R::FocusOnWindow), text(&R::WaitForWindow), {}, {}, {}},
         {"FOCUS"}, TextRule::Plain, {text(&R::FocusOnWindow), text(&R::WaitForWindow)},
         describeFocus});
    row({A::Wait, action::Wait, {}, true, StepTiming::Wait, BlockRole::None,
         true, {number(&R::SecondsToWait), text(&R::WaitForWindow), text(&R::DDEApplicationName),
                text(&R::FocusOnWindow), {}},
         {"WAIT"}, TextRule::Wait, {},
         describeWait});
    row({A::IfWindow, action::IfWindow, {}, true, StepTiming::NoDelay, BlockRole::Opens,
         true, {text(&R::WindowExistance), text(&R::WindowTitleToCheckFor), text(&R::FocusOnWindow), {}, {}},
         {"IFWINDOW", "IFNOTWINDOW"}, TextRule::IfWindow,
         {text(&R::WindowTitleToCheckFor), text(&R::FocusOnWindow)},
         describeIfWindow});
    row({A::IfTimeElapsed, action::IfTimeElapsed, {}, true, StepTiming::NoDelay, BlockRole::Opens,
         true, {text(&R::IfTimeElapsed), number(&R::TimeElapsed), {}, {}, {}},
         {"IFTIME", "IFTIMELESS"}, TextRule::IfTime, {number(&R::TimeElapsed)},
         describeIfTime});
    row({A::IfValue, action::IfValue, {}, true, StepTiming::NoDelay, BlockRole::Opens,
         true, {text(&R::Command), text(&R::WindowTitleToCheckFor), text(&R::WaitForWindow), {}, {}},
         {"IF"}, TextRule::Plain,
         {text(&R::Command), text(&R::WindowTitleToCheckFor), text(&R::WaitForWindow)},
         describeIfValue});
    row({A::EndIf, action::EndIf, {}, true, StepTiming::NoDelay, BlockRole::Closes,
         true, {},
         {"END"}, TextRule::Plain, {},
         nullptr});
    row({A::FileActions, action::FileActions, {}, true, StepTiming::Delay, BlockRole::None,
         true, {text(&R::DDEType), text(&R::Command), text(&R::Path), text(&R::DDEApplicationName),
                text(&R::DDEApplicationTopic)},
         {"FILE"}, TextRule::File, {},
         describeFile});
    row({A::SendEmail, action::SendEmail, {}, true, StepTiming::Delay, BlockRole::None,
         true, {number(&R::EmailID), {}, {}, {}, {}},
         {"EMAIL"}, TextRule::Plain, {number(&R::EmailID)},
         describeEmail});
    row({A::SetValue, action::SetValue, {}, true, StepTiming::Delay, BlockRole::None,
         true, {text(&R::Path), text(&R::Command), {}, {}, {}},
         {"SET"}, TextRule::Plain, {text(&R::Path), text(&R::Command)},
         describeSetValue});
    row({A::StartScript, action::StartScript, {}, true, StepTiming::Delay, BlockRole::None,
         true, {text(&R::Command), text(&R::Path), {}, {}, {}},
         {"SCRIPT"}, TextRule::Script, {text(&R::Command), text(&R::Path)},
         describeCommand});
    row({A::Comment, action::Comment, {}, true, StepTiming::Delay, BlockRole::None,
         false, {},
         {"COMMENT", "!"}, TextRule::Plain, {text(&R::Command)},
         nullptr});
    row({A::WaitForProgramEnd, action::WaitForProgramEnd, {}, false, StepTiming::Wait, BlockRole::None,
         false, {},
         {}, TextRule::None, {},
         describeCommand});
    row({A::EndOfScript, action::EndOfScript, {}, false, StepTiming::Delay, BlockRole::None,
         false, {},
         {}, TextRule::None, {},
         nullptr});
    // clang-format on
    for (std::size_t i = 0; i < v.size(); ++i)
        if (static_cast<std::size_t>(v[i].action) != i + 1) std::abort(); // rows must follow StepAction
    return v;
}

} // namespace

const std::vector<ActionDescriptor>& StepActions() {
    static const std::vector<ActionDescriptor> table = makeTable();
    return table;
}

const ActionDescriptor& describeAction(StepAction a) {
    static const ActionDescriptor unknown = [] {
        ActionDescriptor d;
        d.action = StepAction::Unknown;
        d.stored = false;
        return d;
    }();
    if (a == StepAction::Unknown) return unknown;
    return StepActions()[static_cast<std::size_t>(a) - 1];
}

const ActionDescriptor* findAction(std::string_view storedName) {
    const std::string_view name = text::trimRight(storedName);
    for (const auto& d : StepActions()) {
        if (d.name == name) return &d;
        if (std::find(d.others.begin(), d.others.end(), name) != d.others.end()) return &d;
    }
    return nullptr;
}

const ActionDescriptor* findActionByKeyword(std::string_view keyword) {
    const std::string k = text::upperAscii(keyword);
    for (const auto& d : StepActions())
        if (std::find(d.keywords.begin(), d.keywords.end(), k) != d.keywords.end()) return &d;
    return nullptr;
}

StepAction actionOf(std::string_view storedName) {
    const ActionDescriptor* d = findAction(storedName);
    return d ? d->action : StepAction::Unknown;
}

bool isKnownAction(std::string_view storedName) {
    const ActionDescriptor* d = findAction(storedName);
    return d && d->stored;
}

StepTiming timingOf(const ScriptingRecord& s) {
    if (const ActionDescriptor* d = findAction(s.Action)) return d->timing;
    const std::string_view name = text::trimRight(s.Action);
    if (text::startsWith(name, "Wait")) return StepTiming::Wait;
    return name.find("...") == std::string_view::npos ? StepTiming::Delay : StepTiming::NoDelay;
}

BlockRole blockRoleOf(const ScriptingRecord& s) {
    if (const ActionDescriptor* d = findAction(s.Action)) return d->block;
    const std::string name = text::lowerAscii(text::trimRight(s.Action));
    if (text::startsWith(name, "end")) return BlockRole::Closes;
    if (text::startsWith(name, "if ")) return BlockRole::Opens;
    return BlockRole::None;
}

} // namespace qd
