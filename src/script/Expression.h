// The expression evaluator behind "[= ...]" and "Set Value" values that begin
// with "=": arithmetic on numbers (muParser), with these functions:
//   DATE(m,d,y)   day number of a date (month and day overflow carry forward)
//   TODAY()       today's day number
//   AGE(d,base)   whole years from date d to date base (an age in years)
//   YEAR(d) MONTH(d) DAY(d)   parts of a day number
//   INT(x)        x without its fraction
//   ROUND(x,n)    x rounded to n decimals
// and muParser's own: + - * / ^, comparisons (== != < <= > >=), && ||, ?:,
// abs sqrt exp ln log10 sin cos min max sum avg ...
// Names are not case-sensitive. Any other name is the numeric value of the
// script variable of that name (0 when there is none).
#pragma once

#include "data/Calendar.h"

#include <optional>
#include <string>
#include <string_view>

namespace qd {

class VariableQueue;

struct ExpressionContext {
    Date today = 0;
    const VariableQueue* variables = nullptr; // nullptr: unknown names are rejected
};

struct ExpressionResult {
    bool ok = false;
    double value = 0;
    std::string error; // why the expression was rejected
};

// Longest expression accepted.
inline constexpr std::size_t kMaxExpressionLength = 1024;

// Evaluates; never throws. Rejected: syntax errors, unknown functions, results
// that are not finite numbers, expressions longer than kMaxExpressionLength.
ExpressionResult evaluateNumber(std::string_view expression, const ExpressionContext& context);

// The result as text (whole numbers without decimals); nullopt when rejected.
std::optional<std::string> evaluateToText(std::string_view expression, const ExpressionContext& context,
                                          std::string* error = nullptr);

// Whole years from `from` to `to` (negative when `to` is earlier): the age on
// date `to` of someone born on `from`. A 29 February birthday counts as reached
// on 1 March of a common year.
int ageInYears(Date from, Date to);

} // namespace qd
