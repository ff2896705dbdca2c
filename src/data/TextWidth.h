// Cutting text to a width: the one rule for every field, column and limit.
//
// Texts are cut by characters, never inside a UTF-8 sequence. A character is
// one UTF-8 sequence; a byte that starts no complete sequence (older 8-bit
// text) counts as one character of its own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qd {

// The longest start of `text` made of whole characters, at most `maxChars` of
// them and at most `maxBytes` bytes (for layouts at fixed byte positions).
std::string_view cutText(std::string_view text, std::size_t maxChars,
                         std::size_t maxBytes = std::string_view::npos);

// What a text field of `width` characters holds: the text cut to the width,
// without trailing blanks (and NULs).
std::string fitText(std::string_view text, std::size_t width);

// The number of characters of a text.
std::size_t characterCount(std::string_view text);

} // namespace qd
