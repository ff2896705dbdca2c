#include "script/Values.h"

#include "data/Clock.h"
#include "data/EventLog.h"
#include "data/Pictures.h"
#include "data/TextWidth.h"
#include "script/Expression.h"
#include "script/ScriptStrings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qd {

using script::rtrim;
using script::upper;

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
    return std::string(rtrim(cutText(upper(rtrim(name)), kNameWidth)));
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
    const std::string_view name = rtrim(rawName);
    debug(name, "TranslateVariable");
    const std::string key = upper(name);
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
            const std::string value = TranslateVariable(rtrim(std::string_view(t).substr(open + 1, length)));
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
    return std::string(rtrim(t));
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
    const std::string_view left = rtrim(leftName);
    const std::string key = upper(left);
    const bool numeric = key == "FILEEXISTS" || key == "FILESIZE" || key == "FILEDATE" || key == "DATE" ||
                         key == "FILETIME" || key == "TIME" || left.find('#') != std::string_view::npos;
    const std::string leftText = TranslateVariable(left);
    const std::string rightText =
        (!right.empty() && right.front() == '[') ? TranslateText(right) : std::string(rtrim(right));
    const double ln = twoDecimals(script::numericValue(leftText));
    const double rn = twoDecimals(script::numericValue(rightText));
    const std::string_view o = rtrim(op);
    int cmp;
    if (ln != 0 || rn != 0 || numeric) {
        cmp = ln < rn ? -1 : (ln > rn ? 1 : 0);
    } else {
        const int c = std::string_view(rtrim(leftText)).compare(rtrim(rightText));
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
