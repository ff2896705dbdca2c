#include "script/ScriptStrings.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace qd::script {

std::optional<double> parseDecimal(std::string_view s) {
    s = text::trim(s);
    if (s.empty()) return std::nullopt;
    std::size_t i = 0;
    bool negative = false;
    if (s[i] == '+' || s[i] == '-') {
        negative = s[i] == '-';
        ++i;
    }
    double value = 0;
    int digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        value = value * 10 + (s[i] - '0');
        ++digits;
        ++i;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        double scale = 0.1;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            value += (s[i] - '0') * scale;
            scale /= 10;
            ++digits;
            ++i;
        }
    }
    if (digits == 0) return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool negExp = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            negExp = s[i] == '-';
            ++i;
        }
        int exp = 0;
        int expDigits = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            if (exp < 10000) exp = exp * 10 + (s[i] - '0');
            ++expDigits;
            ++i;
        }
        if (expDigits == 0) return std::nullopt;
        value *= std::pow(10.0, negExp ? -exp : exp);
    }
    if (i != s.size()) return std::nullopt;
    if (!std::isfinite(value)) return std::nullopt;
    return negative ? -value : value;
}

int toLong(std::string_view s) {
    const double v = std::trunc(numericValue(s));
    if (v >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    if (v <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

std::string formatNumber(double v) {
    if (!std::isfinite(v)) return "0";
    if (v == std::trunc(v) && std::fabs(v) < 1e15) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", v);
        std::string r = buf;
        return r == "-0" ? "0" : r;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.9f", v);
    std::string r = buf;
    if (r.find('.') != std::string::npos) {
        while (!r.empty() && r.back() == '0')
            r.pop_back();
        if (!r.empty() && r.back() == '.') r.pop_back();
    }
    return r == "-0" ? "0" : r;
}

} // namespace qd::script
