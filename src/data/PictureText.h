// Text helpers shared by the picture sources (Pictures.cpp, PictureLocale.cpp,
// PictureNumbers.cpp); not part of the public interface.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace qd::picture_text {

inline bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}
inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
inline bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// Without trailing blanks (only blanks: a trailing line break is part of a text).
inline std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

inline bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (prefix.empty() || text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (lowerAscii(text[i]) != lowerAscii(prefix[i])) return false;
    return true;
}

inline void setError(std::string* error, std::string message) {
    if (error) *error = std::move(message);
}

// A picture quoted for a message.
inline std::string pictureText(std::string_view picture) {
    return "\"" + std::string(trim(picture)) + "\"";
}

} // namespace qd::picture_text
