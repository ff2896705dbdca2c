#include "script/Values.h"

#include "data/Clock.h"
#include "data/EventLog.h"
#include "data/Pictures.h"
#include "data/TextWidth.h"
#include "platform/CommandLine.h"
#include "script/Expression.h"
#include "script/ScriptStrings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qd {

namespace {

constexpr std::size_t kMaxText = 16384;          // working copy of TranslateText
constexpr std::size_t kMaxExpressionWalk = 5000; // characters walked for one bracket expression
constexpr std::size_t kMaxName = 256;            // text between two brackets
constexpr std::size_t kMaxFocusText = 254;

double twoDecimals(double v) {
    return std::round(v * 100.0) / 100.0;
}

std::string twoDigits(int v) {
    char b[16];
    std::snprintf(b, sizeof b, "%02d", ((v % 100) + 100) % 100);
    return b;
}

std::string yyyymmdd(Date d) {
    const CivilDate c = civilFromDate(d);
    char b[32];
    std::snprintf(b, sizeof b, "%d%02d%02d", c.year, c.month, c.day);
    return b;
}

void capText(std::string& t) {
    t.resize(cutText(t, kMaxText).size());
}

} // namespace

// ---- VariableQueue ----

std::string VariableQueue::keyOf(std::string_view name) {
    return std::string(text::trimRight(cutText(text::upperAscii(text::trimRight(name)), kNameWidth)));
}

void VariableQueue::set(std::string_view name, std::string_view value) {
    VariableEntry e;
    e.NAME = keyOf(name);
    e.STRINGVALUE = fitText(value, kValueWidth);
    e.VALUE = twoDecimals(script::numericValue(e.STRINGVALUE));
    std::lock_guard lock(mutex_);
    for (auto& existing : entries_)
        if (existing.NAME == e.NAME) {
            existing = std::move(e);
            return;
        }
    entries_.push_back(std::move(e));
}

std::optional<VariableEntry> VariableQueue::find(std::string_view name) const {
    const std::string key = keyOf(name);
    std::lock_guard lock(mutex_);
    for (const auto& e : entries_)
        if (e.NAME == key) return e;
    return std::nullopt;
}

std::string VariableQueue::text(std::string_view name) const {
    auto e = find(name);
    return e ? e->STRINGVALUE : std::string();
}

std::vector<VariableEntry> VariableQueue::entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

std::size_t VariableQueue::size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

void VariableQueue::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

VariableQueue& VARQ() {
    static VariableQueue q;
    return q;
}

// ---- ScriptValues ----

ScriptValues::ScriptValues(VariableQueue& vars) : vars_(vars) {}

ScriptValues& processScriptValues() {
    static ScriptValues v(VARQ());
    return v;
}

const Clock& ScriptValues::clock() const {
    return clock_ ? *clock_ : systemClock();
}

void ScriptValues::debug(std::string_view detail, std::string_view label) const {
    if (settings_.debugMode && log_) log_->log(detail, label);
}

std::string ScriptValues::userDatePicture(std::string_view dateFormat) {
    int format = 3;
    if (dateFormat.size() >= 2) {
        const std::string_view digits = dateFormat.substr(1, 2);
        if (auto n = script::parseDecimal(digits); n && *n == std::trunc(*n) && *n >= 1 && *n <= 18)
            format = static_cast<int>(*n);
    }
    return "@d" + std::to_string(format);
}

std::string ScriptValues::TranslateVariable(std::string_view rawName) const {
    const std::string_view name = text::trimRight(rawName);
    debug(name, "TranslateVariable");
    const std::string key = text::upperAscii(name);
    const Moment now = clock().now();
    const Date today = now.date;
    const CivilDate c = civilFromDate(today);

    if (key == "YYYY-MM-DD") {
        char b[32];
        std::snprintf(b, sizeof b, "%04d-%02d-%02d", c.year, c.month, c.day);
        return b;
    }
    if (key == "DD-MM-YY") return twoDigits(c.day) + "-" + twoDigits(c.month) + "-" + twoDigits(c.year);
    if (key == "MM-DD-YY") return twoDigits(c.month) + "-" + twoDigits(c.day) + "-" + twoDigits(c.year);
    if (key == "DDMMYY") return twoDigits(c.day) + twoDigits(c.month) + twoDigits(c.year);
    if (key == "MMDDYY") return twoDigits(c.month) + twoDigits(c.day) + twoDigits(c.year);
    if (key == "DATE") return yyyymmdd(today);
    if (key == "DATE-1") return yyyymmdd(today - 1);
    if (key == "DATE+1") return yyyymmdd(today + 1);
    if (key == "TODAY" || key == "YESTERDAY" || key == "TOMORROW") {
        const Date d = key == "TODAY" ? today : key == "YESTERDAY" ? today - 1 : today + 1;
        return formatDate(d, userDatePicture(settings_.dateFormat));
    }
    if (key == "TIME") {
        const ClockTime t = clockFromTime(now.time);
        char b[32];
        std::snprintf(b, sizeof b, "%02d%02d%02d", t.hour, t.minute, t.second);
        return b;
    }
    if (key == "NOW") return formatTime(now.time, "@t7");
    if (key == "FOCUS") return focus_ ? std::string(cutText(focus_(), kMaxFocusText)) : std::string();
    if (!name.empty() && name.front() == '=') {
        if (auto r = EvaluateExpression(name.substr(1)); r && !r->empty()) return *r;
    }
    return vars_.text(name);
}

std::optional<std::string> ScriptValues::EvaluateExpression(std::string_view expression) const {
    debug(expression, "Evaluation");
    ExpressionContext ctx;
    ctx.today = clock().today();
    ctx.variables = &vars_;
    std::string error;
    auto r = evaluateToText(expression, ctx, &error);
    debug("Result:  " + (r ? *r : error), "Evaluation");
    return r;
}

std::string ScriptValues::TranslateText(std::string_view text) const {
    std::string t(cutText(text, kMaxText));
    std::size_t i = 0;
    while (i + 1 < t.size()) {
        if (t[i] != '[') {
            ++i;
            continue;
        }
        if (t[i + 1] == '[' || t[i + 1] == ']') {
            t.erase(i, 1); // "[[" is "[", "[]" is "]"
            ++i;
            continue;
        }
        // A bracket expression: inner levels are replaced first, and the walk
        // goes on over their results, which become part of the outer name.
        std::size_t open = i;
        std::size_t j = i + 1;
        int depth = 1;
        std::size_t budget = kMaxExpressionWalk;
        bool closed = false;
        std::size_t resume = t.size();
        while (j < t.size() && budget > 0) {
            --budget;
            if (t[j] == '[') {
                ++depth;
                open = j++;
                continue;
            }
            if (t[j] != ']') {
                ++j;
                continue;
            }
            const std::size_t length = std::min(j - open - 1, kMaxName);
            const std::string value =
                TranslateVariable(text::trimRight(std::string_view(t).substr(open + 1, length)));
            t.replace(open, j - open + 1, value);
            capText(t);
            if (--depth == 0) {
                resume = open + value.size();
                closed = true;
                break;
            }
            const std::size_t start = open;
            const std::size_t previous = start == 0 ? std::string::npos : t.rfind('[', start - 1);
            if (previous == std::string::npos) {
                resume = start;
                closed = true;
                break;
            }
            open = previous;
            j = std::min(start, t.size());
        }
        if (!closed) break; // unclosed: the rest stays as it is
        i = resume;
    }
    return std::string(text::trimRight(t));
}

namespace {

// The [first, last) spans of the bracketed names of a text, found as
// TranslateText finds them: "[[" and "[]" are literal brackets, nested
// brackets belong to the outer name, an unclosed "[" ends the search.
std::vector<std::pair<std::size_t, std::size_t>> bracketSpans(std::string_view t) {
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    std::size_t i = 0;
    while (i + 1 < t.size()) {
        if (t[i] != '[') {
            ++i;
            continue;
        }
        if (t[i + 1] == '[' || t[i + 1] == ']') {
            i += 2;
            continue;
        }
        int depth = 0;
        std::size_t j = i;
        for (; j < t.size(); ++j) {
            if (t[j] == '[') ++depth;
            if (t[j] == ']' && --depth == 0) break;
        }
        if (j >= t.size()) break;
        spans.emplace_back(i, j + 1);
        i = j + 1;
    }
    return spans;
}

// A control character that the text does not hold and that the command-line
// splitter reads as an ordinary character; 0 when every one is taken.
char freeMarker(std::string_view t) {
    for (char c = 1; c < 32; ++c) {
        if (c == '\t' || c == '\n' || c == '\r') continue;
        if (t.find(c) == std::string_view::npos) return c;
    }
    return 0;
}

} // namespace

std::vector<ScriptValues::Argument> ScriptValues::translateEach(std::string_view line) const {
    std::vector<std::string> words;
    const auto spans = bracketSpans(line);
    const char marker = freeMarker(line);
    if (spans.empty() || marker == 0) {
        words = splitCommandLine(line);
    } else {
        // Each bracketed name becomes a marked number, so that the splitter
        // cannot look inside it; the names go back into their arguments after.
        std::string masked;
        std::size_t at = 0;
        for (std::size_t n = 0; n < spans.size(); ++n) {
            masked.append(line.substr(at, spans[n].first - at));
            masked += marker;
            masked += std::to_string(n);
            masked += marker;
            at = spans[n].second;
        }
        masked.append(line.substr(at));
        for (const std::string& word : splitCommandLine(masked)) {
            std::string restored;
            for (std::size_t k = 0; k < word.size(); ++k) {
                const std::size_t close = word[k] == marker ? word.find(marker, k + 1) : std::string::npos;
                if (close == std::string::npos) {
                    restored += word[k];
                    continue;
                }
                const std::size_t n = std::stoul(word.substr(k + 1, close - k - 1));
                restored.append(line.substr(spans[n].first, spans[n].second - spans[n].first));
                k = close;
            }
            words.push_back(std::move(restored));
        }
    }
    std::vector<Argument> out;
    out.reserve(words.size());
    for (std::string& word : words) {
        Argument a{std::move(word), {}};
        if (a.written.find('[') == std::string::npos) {
            a.translated = a.written;
        } else if (marker == 0) {
            a.translated = TranslateText(a.written);
        } else {
            // The marker after the argument keeps TranslateText from dropping
            // the argument's own trailing blanks.
            a.translated = TranslateText(a.written + marker);
            if (!a.translated.empty() && a.translated.back() == marker) a.translated.pop_back();
        }
        out.push_back(std::move(a));
    }
    return out;
}

std::vector<std::string> ScriptValues::TranslateArguments(std::string_view commandLine) const {
    std::vector<std::string> out;
    for (Argument& a : translateEach(commandLine))
        out.push_back(std::move(a.translated));
    return out;
}

std::string ScriptValues::TranslateCommandLine(std::string_view commandLine) const {
    if (commandLine.find('[') == std::string_view::npos) return std::string(commandLine);
    const std::vector<Argument> arguments = translateEach(commandLine);
    if (std::all_of(arguments.begin(), arguments.end(),
                    [](const Argument& a) { return a.written == a.translated; }))
        return std::string(commandLine);
    std::string line;
    for (const Argument& a : arguments) {
        if (!line.empty()) line += ' ';
        line += quoteCommandArgument(a.translated, a.written != a.translated);
    }
    return line;
}

void ScriptValues::SetValue(std::string_view name, std::string_view value) {
    std::string v = TranslateText(value);
    if (!v.empty() && v.front() == '=') {
        if (auto r = EvaluateExpression(std::string_view(v).substr(1)))
            v = *r;
        else
            v = TranslateText(value);
    }
    vars_.set(name, v);
}

bool ScriptValues::CompareValues(std::string_view leftName, std::string_view op,
                                 std::string_view right) const {
    const std::string_view left = text::trimRight(leftName);
    const std::string key = text::upperAscii(left);
    const bool numeric = key == "FILEEXISTS" || key == "FILESIZE" || key == "FILEDATE" || key == "DATE" ||
                         key == "FILETIME" || key == "TIME" || left.find('#') != std::string_view::npos;
    const std::string leftText = TranslateVariable(left);
    const std::string rightText =
        (!right.empty() && right.front() == '[') ? TranslateText(right) : std::string(text::trimRight(right));
    const double ln = twoDecimals(script::numericValue(leftText));
    const double rn = twoDecimals(script::numericValue(rightText));
    const std::string_view o = text::trimRight(op);
    int cmp;
    if (ln != 0 || rn != 0 || numeric) {
        cmp = ln < rn ? -1 : (ln > rn ? 1 : 0);
    } else {
        const int c = std::string_view(text::trimRight(leftText)).compare(text::trimRight(rightText));
        cmp = c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (o == "=") return cmp == 0;
    if (o == "<=") return cmp <= 0;
    if (o == "<") return cmp < 0;
    if (o == "=>") return cmp >= 0;
    if (o == ">") return cmp > 0;
    if (o == "<>") return cmp != 0;
    return false;
}

} // namespace qd
