// Text helpers shared by the picture sources (Pictures.cpp, PictureLocale.cpp,
// PictureNumbers.cpp); not part of the public interface.
#pragma once

#include "data/Text.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace qd::picture_text {

using text::isAlpha;
using text::isDigit;
using text::isSpace;
using text::lowerAscii;
using text::startsWithNoCase;

inline void setError(std::string* error, std::string message) {
    if (error) *error = std::move(message);
}

// A picture quoted for a message.
inline std::string pictureText(std::string_view picture) {
    return "\"" + std::string(text::trimSpace(picture)) + "\"";
}

} // namespace qd::picture_text
