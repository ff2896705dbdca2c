// Numbers in the script engine's texts: reading a text as a number and showing a
// number as text. Trimming and case folding are the shared helpers of data/Text.h.
#pragma once

#include "data/Text.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qd::script {

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
