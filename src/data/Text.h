// Plain text helpers used by every part of the program: trimming, ASCII case
// folding and case-blind comparison. Stored texts are padded with blanks, so
// "trim" means blanks (' ') unless a name says "space" (any ASCII white space:
// blank, tab, line feed, carriage return, form feed, vertical tab).
//
// Case folding here is ASCII only: names of tables, keys, settings, actions and
// programs are ASCII. Unicode upper-casing of typed text lives with the keyboard
// code (platform/TextUtil.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qd::text {

constexpr bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
constexpr bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
constexpr bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Without trailing / leading / surrounding blanks.
constexpr std::string_view trimRight(std::string_view s) {
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}
constexpr std::string_view trimLeft(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    return s;
}
constexpr std::string_view trim(std::string_view s) {
    return trimLeft(trimRight(s));
}
// Without surrounding white space of any kind.
constexpr std::string_view trimSpace(std::string_view s) {
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// Without trailing blanks and carriage returns: a line of a file that may have
// been written with CR LF line ends.
constexpr std::string_view trimLineEnd(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}
// The same as copies.
inline std::string trimmed(std::string_view s) {
    return std::string(trim(s));
}
inline std::string trimmedRight(std::string_view s) {
    return std::string(trimRight(s));
}

constexpr char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
inline std::string upperAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = upperAscii(c);
    return r;
}
inline std::string lowerAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = lowerAscii(c);
    return r;
}

constexpr bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}
constexpr bool startsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}
constexpr bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && equalsNoCase(s.substr(0, prefix.size()), prefix);
}
inline bool containsNoCase(std::string_view haystack, std::string_view needle) {
    return upperAscii(haystack).find(upperAscii(needle)) != std::string::npos;
}

} // namespace qd::text
