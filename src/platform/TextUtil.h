// Small UTF-8 helpers shared by the keyboard and window code.
#pragma once

#include <string>
#include <string_view>

namespace qd {

// Code points of UTF-8 text. A byte that does not start a valid sequence is
// taken as the Latin-1 character of the same value, so older 8-bit texts still
// type and compare sensibly.
std::u32string decodeUtf8(std::string_view text);
std::string encodeUtf8(std::u32string_view text);
void appendUtf8(std::string& out, char32_t c);

// Upper case of every letter (full Unicode case mapping).
std::string upperCase(std::string_view text);

} // namespace qd
