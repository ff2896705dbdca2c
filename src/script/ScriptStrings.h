// Small text helpers shared by the script engine: blank trimming, ASCII case
// folding and the numeric reading of a text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qd::script {

inline std::string_view rtrim(std::string_view s) {
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

inline std::string_view ltrim(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    return s;
}

inline std::string_view trim(std::string_view s) {
    return ltrim(rtrim(s));
}

inline char upperChar(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
inline char lowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string upper(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = upperChar(c);
    return r;
}

inline std::string lower(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = lowerChar(c);
    return r;
}

inline bool startsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

inline bool containsNoCase(std::string_view haystack, std::string_view needle) {
    return upper(haystack).find(upper(needle)) != std::string::npos;
}

// The numeric reading of a text: blanks around it are ignored; an optional sign,
// digits with at most one decimal point, and an optional exponent make a number;
// anything else reads as nullopt.
std::optional<double> parseDecimal(std::string_view s);

// parseDecimal, with 0 for a text that is not a number.
inline double numericValue(std::string_view s) {
    return parseDecimal(s).value_or(0.0);
}

// A whole number in the text (as parseDecimal, rounded towards zero, clamped to
// the 32-bit range); 0 when it is not a number.
int toLong(std::string_view s);

// A number as the script engine shows it: whole numbers without decimals,
// others with up to 9 significant decimals and no trailing zeros.
std::string formatNumber(double v);

} // namespace qd::script
