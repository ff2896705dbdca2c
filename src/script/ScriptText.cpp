#include "script/ScriptText.h"

#include "data/Text.h"
#include "data/TextWidth.h"
#include "script/FtpHttpSteps.h"
#include "script/ScriptStrings.h"

#include <algorithm>

namespace qd {

using script::toLong;

namespace {

constexpr int kIndentStep = 3;
constexpr int kMaxIndent = 24;

std::string arg(const std::vector<std::string>& t, std::size_t n) {
    return n <= t.size() ? t[n - 1] : std::string();
}

bool positiveDigit(char c) {
    return c >= '1' && c <= '9';
}

char optionAt(std::string_view options, std::size_t i) {
    return i < options.size() ? options[i] : ' ';
}

// Blanks out empty arguments ('""') at the end of a line, then the trailing blanks.
std::string dropTrailingEmpties(std::string line) {
    for (;;) {
        std::string_view v = text::trimRight(line);
        if (v.size() >= 3 && v.substr(v.size() - 2) == "\"\"" && v[v.size() - 3] == ' ') {
            line.resize(v.size() - 2);
            continue;
        }
        line.resize(v.size());
        return line;
    }
}

// The keyword and its quoted arguments; `mustQuote` names values that would
// read as something else unquoted.
std::string join(std::string_view keyword, std::initializer_list<std::string_view> values,
                 bool (*mustQuote)(std::string_view) = nullptr) {
    std::string line(keyword);
    for (std::string_view v : values) {
        line += ' ';
        line += QuoteArgument(v, mustQuote && mustQuote(v));
    }
    return line;
}

std::string fileLine(const ScriptingRecord& s) {
    const std::string op(text::trimRight(s.DDEType));
    if (op == "Delete" || op == "Recycle") return join("FILE", {op, s.Command});
    if (op == "FTP Upload" || op == "FTP Download") {
        const FtpLogin login = ftpLoginOf(s.DDEApplicationTopic);
        return join("FILE", {op, s.Command, s.Path, s.DDEApplicationName, login.user, login.password});
    }
    if (op == "HTTP Download") return join("FILE", {op, s.Command, s.Path, s.DDEApplicationName});
    return join("FILE", {op, s.Command, s.Path});
}

// A START option word: recognised only as a separate, unquoted word after the
// program and its folder, so that a URL or a file name holding "MODE=" stays
// what it is.
bool isStartOption(std::string_view word) {
    const std::string u = text::upperAscii(word);
    return text::startsWith(u, "WAIT=") || text::startsWith(u, "PRIORITY=") || text::startsWith(u, "MODE=") ||
           text::startsWith(u, "ACTION=") || u == "/TRANSLATE";
}

bool isModalSwitch(std::string_view word) {
    return text::upperAscii(word) == "/MODAL";
}

// The verb of an "ACTION=" word (the text after the "="): two letters name a
// known verb, anything else is taken upper-cased, at most 7 characters.
std::string verbOf(std::string_view value) {
    const std::string u = text::upperAscii(value);
    static const std::pair<const char*, const char*> verbs[] = {
        {"OP", "Open"},    {"VI", "View"}, {"PR", "Print"}, {"PL", "Play"},
        {"EX", "Explore"}, {"FI", "Find"}, {"ED", "Edit"}};
    for (const auto& [c, v] : verbs)
        if (u.substr(0, 2) == c) return v;
    std::string verb = u.substr(0, 7);
    if (auto b = verb.find(' '); b != std::string::npos) verb.resize(b);
    return verb;
}

// Applies one START option word to the step (`options` holds the four option
// characters).
void applyStartOption(ScriptingRecord& s, std::string& options, std::string_view word) {
    const std::string u = text::upperAscii(word);
    if (text::startsWith(u, "WAIT=")) {
        options[0] = '1';
        std::string digits;
        for (std::size_t i = 5; i < u.size() && i < 10 && u[i] >= '0' && u[i] <= '9'; ++i)
            digits += u[i];
        s.TimeElapsed = toLong(digits);
    } else if (text::startsWith(u, "PRIORITY=")) {
        if (u.size() > 9) options[1] = u[9];
    } else if (text::startsWith(u, "MODE=")) {
        if (u.size() > 5) options[2] = u[5];
    } else if (text::startsWith(u, "ACTION=")) {
        s.DDEApplicationTopic = verbOf(std::string_view(word).substr(7));
    } else if (u == "/TRANSLATE") {
        options[3] = '1';
    }
}

// The longest limit a WAIT= word carries (five digits).
constexpr std::int32_t kMaxWaitLimit = 99999;

std::string startLine(const ScriptingRecord& s) {
    std::string line = join("START", {s.Command, s.Path}, isStartOption);
    const std::string_view o = s.DDEApplicationName;
    if (positiveDigit(optionAt(o, 0)))
        line += " WAIT=" + std::to_string(std::clamp(s.TimeElapsed, std::int32_t{0}, kMaxWaitLimit));
    if (const char p = optionAt(o, 1); positiveDigit(p) && p != '2') line += std::string(" PRIORITY=") + p;
    if (const char m = optionAt(o, 2); m >= '2' && m <= '9') line += std::string(" MODE=") + m;
    // The verb is written only when the word reads back as the same verb.
    const std::string verb(text::trimRight(s.DDEApplicationTopic));
    if (!verb.empty() && verb.find_first_of(" ,\"[]") == std::string::npos && verbOf(verb) == verb)
        line += " ACTION=" + verb;
    if (positiveDigit(optionAt(o, 3))) line += " /TRANSLATE";
    return line;
}

bool isWaitMode(std::string_view mode) {
    const std::string m = text::upperAscii(text::trimRight(mode));
    return m == "AND" || m == "OR" || m == "EITHER" || m == "BOTH";
}

// A first WAIT argument that would read as a mode or as seconds.
bool looksLikeWaitCount(std::string_view value) {
    return isWaitMode(value) || script::parseDecimal(value).has_value();
}

std::string waitLine(const ScriptingRecord& s) {
    const std::string seconds = std::to_string(s.SecondsToWait);
    const bool hasSeconds = s.SecondsToWait > 0;
    const bool hasWindow = !text::trimRight(s.WaitForWindow).empty();
    if (hasSeconds && hasWindow) {
        // The seconds-first line reads back as "Both" (wait for the seconds, then
        // the window), so "Both", and any mode the line cannot name, is written so.
        if (isWaitMode(s.DDEApplicationName) && text::trimRight(s.DDEApplicationName) != "Both")
            return join("WAIT", {s.DDEApplicationName, seconds, s.WaitForWindow, s.FocusOnWindow});
        return join("WAIT", {seconds, s.WaitForWindow, s.FocusOnWindow});
    }
    if (hasWindow) {
        const std::string first = QuoteArgument(s.WaitForWindow, looksLikeWaitCount(s.WaitForWindow));
        return "WAIT " + first + " " + QuoteArgument(s.FocusOnWindow);
    }
    if (hasSeconds) return join("WAIT", {seconds});
    return "WAIT";
}

// The tokens of a line's arguments, each with whether it was written in quotes.
struct Token {
    std::string text;
    bool quoted = false;
};
std::vector<Token> tokenize(std::string_view arguments);

std::string tok(const std::vector<Token>& t, std::size_t n) {
    return n <= t.size() ? t[n - 1].text : std::string();
}

void parseWait(ScriptingRecord& s, const std::vector<Token>& t) {
    const bool quoted = !t.empty() && t[0].quoted;
    const std::string t1 = tok(t, 1);
    auto both = [&] { return s.SecondsToWait > 0 && !s.WaitForWindow.empty() ? "Both" : ""; };
    if (!quoted && isWaitMode(t1)) {
        s.DDEApplicationName = t1;
        s.SecondsToWait = toLong(tok(t, 2));
        s.WaitForWindow = tok(t, 3);
        s.FocusOnWindow = tok(t, 4);
    } else if (auto n = script::parseDecimal(t1); !quoted && n && *n >= 1) {
        s.SecondsToWait = toLong(t1);
        s.WaitForWindow = tok(t, 2);
        s.FocusOnWindow = tok(t, 3);
        s.DDEApplicationName = both();
    } else {
        s.WaitForWindow = t1;
        s.FocusOnWindow = tok(t, 2);
        s.SecondsToWait = toLong(tok(t, 3));
        s.DDEApplicationName = both();
    }
}

// A quoted token's text: the enclosing quotes removed, doubled quotes made single.
std::string unquoteToken(std::string_view raw) {
    std::string out;
    const std::string_view inner = raw.substr(1, raw.size() - 2);
    for (std::size_t i = 0; i < inner.size(); ++i) {
        out += inner[i];
        if (inner[i] == '"' && i + 1 < inner.size() && inner[i + 1] == '"') ++i;
    }
    return out;
}

std::vector<Token> tokenize(std::string_view a) {
    std::vector<std::string> raw;
    a = text::trimLeft(a);
    std::string cur;
    bool quoted = false;
    int brackets = 0;
    bool pending = false; // a token is open (possibly empty after a separator)
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char c = a[i];
        if (c == '"') {
            if (quoted && i + 1 < a.size() && a[i + 1] == '"') {
                // A doubled quote inside quotes is a quote of the text.
                cur += "\"\"";
                ++i;
                pending = true;
                continue;
            }
            quoted = !quoted;
        } else if (!quoted) {
            if (c == '[') {
                ++brackets;
            } else if (c == ']' && brackets > 0) {
                --brackets;
            } else if (brackets == 0 && (c == ' ' || c == ',')) {
                raw.push_back(std::move(cur));
                cur.clear();
                pending = false;
                while (i + 1 < a.size() && a[i + 1] == ' ')
                    ++i;
                continue;
            }
        }
        cur += c;
        pending = true;
    }
    if (pending) raw.push_back(std::move(cur));
    std::vector<Token> tokens;
    tokens.reserve(raw.size());
    for (const auto& r : raw) {
        Token t;
        t.quoted = r.size() >= 2 && r.front() == '"' && r.back() == '"';
        t.text = std::string(text::trimRight(t.quoted ? unquoteToken(r) : r));
        tokens.push_back(std::move(t));
    }
    return tokens;
}

} // namespace

std::vector<std::string> TokenizeArguments(std::string_view a) {
    std::vector<std::string> out;
    for (Token& t : tokenize(a))
        out.push_back(std::move(t.text));
    return out;
}

// True when a "[" stays open to the end: unquoted, it would glue the
// following arguments to this one.
static bool hasOpenBracket(std::string_view v) {
    int depth = 0;
    for (char c : v) {
        if (c == '[') ++depth;
        if (c == ']' && depth > 0) --depth;
    }
    return depth > 0;
}

std::string QuoteArgument(std::string_view value, bool always) {
    // Quotes in the value are escaped, never stripped: what is read back is the
    // value itself.
    const std::string_view v = value;
    if (v.empty()) return "\"\"";
    if (!always && v.find_first_of(" ,/\\\"") == std::string::npos && !hasOpenBracket(v))
        return std::string(text::trimRight(v));
    std::string out = "\"";
    for (char c : text::trimRight(v)) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + "\"";
}

std::string FileOperationFromText(std::string_view name) {
    const std::string u(text::trimRight(text::upperAscii(name)));
    static const std::pair<const char*, const char*> names[] = {
        {"COPY", "Copy"},
        {"RENAME", "Rename"},
        {"RECYCLE", "Recycle"},
        {"MOVE", "Move"},
        {"DELETE", "Delete"},
        {"MAKE DIRECTORY", "Make Directory"},
        {"MAKE", "Make Directory"},
        {"REMOVE DIRECTORY", "Remove Directory"},
        {"REMOVE", "Remove Directory"},
        {"GET FILE DATE", "Get File Date"},
        {"FILE DATE", "Get File Date"},
        {"DATE", "Get File Date"},
        {"GET FILE TIME", "Get File Time"},
        {"FILE TIME", "Get File Time"},
        {"TIME", "Get File Time"},
        {"GET FILE SIZE", "Get File Size"},
        {"FILE SIZE", "Get File Size"},
        {"SIZE", "Get File Size"},
        {"LOG WINDOWS", "Log Windows"},
        {"IF FILE EXISTS", "If File Exists"},
        {"FILE EXISTS", "If File Exists"},
        {"EXISTS", "If File Exists"},
        {"FTPUPLOAD", "FTP Upload"},
        {"FTP UPLOAD", "FTP Upload"},
        {"FTPDOWNLOAD", "FTP Download"},
        {"FTP DOWNLOAD", "FTP Download"},
        {"FTP", "FTP Download"},
        {"HTTPDOWNLOAD", "HTTP Download"},
        {"HTTP DOWNLOAD", "HTTP Download"},
        {"HTTP", "HTTP Download"},
    };
    for (const auto& [text, op] : names)
        if (u == text) return op;
    return "Copy";
}

ParsedLine ParseScriptLine(std::string_view raw) {
    ParsedLine p;
    const std::string_view line = text::trimLeft(raw);
    if (text::trimRight(line).empty()) return p;
    const std::size_t blank = line.find(' ');
    p.keyword = std::string(line.substr(0, blank));
    p.rest = blank == std::string_view::npos ? std::string() : std::string(line.substr(blank + 1));
    const std::string key = text::upperAscii(p.keyword);
    const std::vector<Token> tokens = tokenize(p.rest);
    std::vector<std::string> t;
    for (const Token& k : tokens)
        t.push_back(k.text);
    ScriptingRecord& s = p.step;
    const ActionDescriptor* d = findActionByKeyword(key);
    if (!d) {
        p.kind = ParsedLine::Kind::Unknown;
        s.Action = p.keyword;
        fitStepFields(s);
        return p;
    }
    p.kind = ParsedLine::Kind::Step;
    s.Action = std::string(d->name);
    // The positional arguments, from token `first` on.
    auto setArguments = [&](std::size_t first = 0, std::size_t end = std::string::npos) {
        for (std::size_t i = 0; i < d->textArguments.size(); ++i)
            d->textArguments[i].set(s, first + i < std::min(end, t.size()) ? t[first + i] : std::string());
    };
    switch (d->textRule) {
    case TextRule::None:
    case TextRule::Plain:
        setArguments();
        break;
    case TextRule::Display:
        // An unquoted "/MODAL" word asks for the task message window; in the place
        // of an argument it stands for an empty one.
        s.SecondsToWait = 1;
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (tokens[i].quoted || !isModalSwitch(tokens[i].text)) continue;
            s.SecondsToWait = 0;
            t[i].clear();
        }
        setArguments();
        break;
    case TextRule::Start: {
        // Options are the unquoted option words at the end of the line.
        std::size_t first = tokens.size();
        while (first > 0 && !tokens[first - 1].quoted && isStartOption(tokens[first - 1].text))
            --first;
        std::string options = "0210";
        for (std::size_t i = first; i < tokens.size(); ++i)
            applyStartOption(s, options, tokens[i].text);
        s.DDEApplicationName = options;
        setArguments(0, first);
        break;
    }
    case TextRule::Keys:
        s.Keystrokes = p.rest;
        break;
    case TextRule::File: {
        const std::string op = arg(t, 1);
        s.DDEType = FileOperationFromText(op);
        s.Command = arg(t, 2);
        s.Path = arg(t, 3);
        if (text::upperAscii(op).find("TP") != std::string::npos) {
            s.DDEApplicationName = arg(t, 4);
            s.DDEApplicationTopic = ftpTopic(arg(t, 5), arg(t, 6));
        }
        break;
    }
    case TextRule::Script: {
        setArguments();
        const char mode = s.Path.empty() ? ' ' : text::upperAscii(s.Path.front());
        if (mode == 'I') s.Path = "Insert (Execute and continue)";
        if (mode == 'J') s.Path = "Jump to (Execute and skip)";
        if (mode == 'A') s.Path = "Append";
        break;
    }
    case TextRule::Wait:
        parseWait(s, tokens);
        break;
    case TextRule::IfWindow:
        s.WindowExistance = key == d->keywords.front() ? "Exists" : "Does not exist";
        setArguments();
        break;
    case TextRule::IfTime:
        s.IfTimeElapsed = key == d->keywords.front() ? "Greater than" : "Less than";
        setArguments();
        break;
    }
    fitStepFields(s);
    return p;
}

namespace {

// The keyword and the quoted values of the descriptor's arguments.
std::string argumentLine(std::string_view keyword, const ActionDescriptor& d, const ScriptingRecord& s,
                         bool (*mustQuote)(std::string_view) = nullptr) {
    std::string line(keyword);
    for (const StepField& f : d.textArguments) {
        const std::string v = f.get(s);
        line += ' ';
        line += QuoteArgument(v, mustQuote && mustQuote(v));
    }
    return line;
}

} // namespace

std::optional<std::string> StepToTextLine(const ScriptingRecord& s) {
    const ActionDescriptor* d = findAction(s.Action);
    if (!d || d->textRule == TextRule::None) return std::nullopt;
    const std::string_view keyword = d->keywords.front();
    switch (d->textRule) {
    case TextRule::None:
        return std::nullopt;
    case TextRule::Plain:
    case TextRule::Script:
        return argumentLine(keyword, *d, s);
    case TextRule::Display: {
        std::string line = argumentLine(keyword, *d, s, isModalSwitch);
        if (s.SecondsToWait == 0) line += " /MODAL";
        return line;
    }
    case TextRule::Start:
        return startLine(s);
    case TextRule::Keys:
        return std::string(keyword) + " " + s.Keystrokes;
    case TextRule::File:
        return fileLine(s);
    case TextRule::Wait:
        return waitLine(s);
    case TextRule::IfWindow: {
        const bool exists = text::upperAscii(s.WindowExistance).find("EXISTS") != std::string::npos;
        return argumentLine(exists ? d->keywords[0] : d->keywords[1], *d, s);
    }
    case TextRule::IfTime: {
        const bool less = text::upperAscii(s.IfTimeElapsed).find("LESS") != std::string::npos;
        return std::string(less ? d->keywords[1] : d->keywords[0]) + " " + std::to_string(s.TimeElapsed);
    }
    }
    return std::nullopt;
}

std::string StepsToText(const std::vector<ScriptingRecord>& steps) {
    std::string text;
    int depth = 0;
    for (const auto& s : steps) {
        auto line = StepToTextLine(s);
        if (!line) continue;
        const BlockRole block = blockRoleOf(s);
        if (block == BlockRole::Closes) depth = std::max(0, depth - kIndentStep);
        // Keystrokes are written exactly as they stand; other lines lose their
        // trailing empty arguments.
        const bool keys = describeAction(actionOf(s)).textRule == TextRule::Keys;
        const std::string body = keys ? *line : dropTrailingEmpties(*line);
        text += std::string(static_cast<std::size_t>(std::min(depth, kMaxIndent)), ' ') + body + "\r\n";
        if (block == BlockRole::Opens) depth += kIndentStep;
    }
    return text;
}

std::vector<ScriptingRecord> TextToSteps(std::string_view text, std::int32_t taskId, UserInterface* ui) {
    std::vector<ScriptingRecord> steps;
    std::int32_t number = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        std::size_t next;
        if (end == std::string_view::npos)
            end = next = text.size();
        else if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
            next = end + 2; // CR LF is one line end
        else
            next = end + 1;
        const std::string_view line = text.substr(pos, end - pos);
        pos = next;
        ++number;
        ParsedLine p = ParseScriptLine(line);
        if (p.kind == ParsedLine::Kind::Empty) continue;
        if (p.kind == ParsedLine::Kind::Unknown && ui)
            ui->message("Error", "Unknown script action:\n\n" + p.keyword + "\n" + p.rest);
        p.step.ID = taskId;
        p.step.Sequence = number;
        steps.push_back(std::move(p.step));
    }
    return steps;
}

std::string ScriptToText(DataSet& ds, std::int32_t taskId, UserInterface& ui) {
    if (taskId == 0) {
        ui.message("Error", "No task ID");
        return {};
    }
    StepsResult r = LoadScriptSteps(ds, tables::Scripting(), taskId);
    if (!r.ok()) ui.message("Error", "Next script:  " + r.error);
    return StepsToText(r.steps);
}

bool TextToScript(DataSet& ds, std::int32_t taskId, std::string_view text, UserInterface& ui) {
    if (text.empty()) {
        ui.message("Error", "Nothing to save.");
        return false;
    }
    const std::vector<ScriptingRecord> steps = TextToSteps(text, taskId, &ui);
    StepStatus st = ReplaceScriptSteps(ds, tables::Scripting(), taskId, steps);
    if (!st.ok()) {
        ui.message("Error", "Error adding scripting:\n" + st.error);
        return false;
    }
    return true;
}

const std::vector<std::string>& ScriptTextReferenceLines() {
    static const std::vector<std::string> lines = {
        "KEYS keys",
        "FOCUS window_title optional_contents",
        "WAIT 999 Or window_title optional_content",
        "WAIT 999 And window_title optional_content",
        "DISPLAY message title button_text /MODAL",
        "START program_to_start start_in WAIT=999 /TRANSLATE",
        "IF value_name < compare_to_this",
        "IF value_name > compare_to_this",
        "IF value_name = compare_to_this",
        "IF value_name <> compare_to_this",
        "IFTIME 999",
        "IFTIMELESS 999",
        "IFWINDOW window_title",
        "IFNOTWINDOW window_title",
        "END",
        "FILE Copy filename_1 filename_2",
        "FILE Move filename_1 filename_2",
        "FILE Delete filename_1",
        "FILE \"Make Directory\" filename_1",
        "FILE \"Remove Directory\" filename_1",
        "FILE \"Get File Date\" filename_1",
        "FILE \"Get File Time\" filename_1",
        "FILE \"Get File Size\" filename_1",
        "FILE \"If File Exists\" filename_1",
        "FILE \"Log Windows\" filename_1",
        "SET value_name value",
        "SCRIPT script_filename \"Insert (Execute and continue)\"",
        "CLOSE program_file_name",
        "EMAIL 999",
        "EXIT",
    };
    return lines;
}

} // namespace qd
