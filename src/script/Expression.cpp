#include "script/Expression.h"

#include "script/ScriptStrings.h"
#include "script/Values.h"

#include <muParser.h>

#include <cmath>
#include <deque>
#include <limits>

namespace qd {

namespace {

// State of one evaluation, handed to the callbacks as user data.
struct Evaluation {
    const ExpressionContext* context = nullptr;
    std::deque<double> variableStorage; // stable addresses for muParser
    bool unknownName = false;
};

bool validDay(double d) {
    return std::isfinite(d) && d >= 1 && d <= 10'000'000;
}

// Day number from possibly fractional, possibly huge muParser values: out of
// range parts give NaN so the expression is rejected.
double dateValue(double m, double d, double y) {
    if (!std::isfinite(m) || !std::isfinite(d) || !std::isfinite(y)) return std::nan("");
    if (std::fabs(m) > 1e6 || std::fabs(d) > 1e7 || y < 1 || y > 9999) return std::nan("");
    const Date r = dateFromMDY(static_cast<int>(m), static_cast<int>(d), static_cast<int>(y));
    return r < 1 ? std::nan("") : r;
}

double fnDate(double m, double d, double y) {
    return dateValue(m, d, y);
}

double fnToday(void* data) {
    return static_cast<Evaluation*>(data)->context->today;
}

double fnAge(double from, double to) {
    if (!validDay(from) || !validDay(to)) return std::nan("");
    return ageInYears(static_cast<Date>(from), static_cast<Date>(to));
}

double fnYear(double d) {
    return validDay(d) ? yearOf(static_cast<Date>(d)) : std::nan("");
}
double fnMonth(double d) {
    return validDay(d) ? monthOf(static_cast<Date>(d)) : std::nan("");
}
double fnDay(double d) {
    return validDay(d) ? dayOfMonth(static_cast<Date>(d)) : std::nan("");
}
double fnInt(double x) {
    return std::trunc(x);
}
double fnRound(double x, double n) {
    if (!std::isfinite(n) || n < 0 || n > 12) return std::nan("");
    const double f = std::pow(10.0, std::trunc(n));
    return std::round(x * f) / f;
}

double* variableFactory(const char* name, void* data) {
    auto* ev = static_cast<Evaluation*>(data);
    double value = 0;
    if (ev->context->variables) {
        if (auto e = ev->context->variables->find(name)) value = e->VALUE;
    } else {
        ev->unknownName = true;
    }
    ev->variableStorage.push_back(value);
    return &ev->variableStorage.back();
}

// Names are not case-sensitive: everything outside string quotes is folded to
// lower case, the case of muParser's own functions.
std::string foldCase(std::string_view expression) {
    std::string out;
    out.reserve(expression.size());
    bool quoted = false;
    for (char c : expression) {
        if (c == '"') quoted = !quoted;
        out += quoted ? c : text::lowerAscii(c);
    }
    return out;
}

} // namespace

int ageInYears(Date from, Date to) {
    if (to < from) return -ageInYears(to, from);
    const CivilDate a = civilFromDate(from);
    const CivilDate b = civilFromDate(to);
    int years = b.year - a.year;
    if (b.month < a.month || (b.month == a.month && b.day < a.day)) --years;
    return years;
}

ExpressionResult evaluateNumber(std::string_view expression, const ExpressionContext& context) {
    ExpressionResult result;
    if (expression.size() > kMaxExpressionLength) {
        result.error = "Expression too long";
        return result;
    }
    if (text::trim(expression).empty()) {
        result.error = "Empty expression";
        return result;
    }
    Evaluation ev;
    ev.context = &context;
    try {
        mu::Parser parser;
        parser.DefineFun("date", fnDate);
        parser.DefineFunUserData("today", fnToday, &ev, false);
        parser.DefineFun("age", fnAge);
        parser.DefineFun("year", fnYear);
        parser.DefineFun("month", fnMonth);
        parser.DefineFun("day", fnDay);
        parser.DefineFun("int", fnInt);
        parser.DefineFun("round", fnRound);
        parser.SetVarFactory(variableFactory, &ev);
        parser.SetExpr(foldCase(expression));
        const double v = parser.Eval();
        if (ev.unknownName) {
            result.error = "Unknown name";
        } else if (!std::isfinite(v)) {
            result.error = "The result is not a number";
        } else {
            result.ok = true;
            result.value = v;
        }
    } catch (const mu::Parser::exception_type& e) {
        result.error = e.GetMsg();
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    return result;
}

std::optional<std::string> evaluateToText(std::string_view expression, const ExpressionContext& context,
                                          std::string* error) {
    ExpressionResult r = evaluateNumber(expression, context);
    if (!r.ok) {
        if (error) *error = r.error;
        return std::nullopt;
    }
    return script::formatNumber(r.value);
}

} // namespace qd
