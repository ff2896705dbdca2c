#include "data/TextWidth.h"

namespace qd {
namespace {

// Length of the character at `i`: its UTF-8 sequence when it is complete,
// otherwise the one byte.
std::size_t characterAt(std::string_view t, std::size_t i) {
    const auto c = static_cast<unsigned char>(t[i]);
    const std::size_t len = c < 0x80           ? 1
                            : (c >> 5) == 0x6  ? 2
                            : (c >> 4) == 0xE  ? 3
                            : (c >> 3) == 0x1E ? 4
                                               : 1;
    if (i + len > t.size()) return 1;
    for (std::size_t k = 1; k < len; ++k)
        if ((static_cast<unsigned char>(t[i + k]) & 0xC0) != 0x80) return 1;
    return len;
}

} // namespace

std::string_view cutText(std::string_view text, std::size_t maxChars, std::size_t maxBytes) {
    std::size_t end = 0;
    for (std::size_t chars = 0; chars < maxChars && end < text.size(); ++chars) {
        const std::size_t len = characterAt(text, end);
        if (maxBytes != std::string_view::npos && end + len > maxBytes) break;
        end += len;
    }
    return text.substr(0, end);
}

std::string fitText(std::string_view text, std::size_t width) {
    std::string_view v = cutText(text, width);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\0'))
        v.remove_suffix(1);
    return std::string(v);
}

std::size_t characterCount(std::string_view text) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); i += characterAt(text, i))
        ++n;
    return n;
}

} // namespace qd
