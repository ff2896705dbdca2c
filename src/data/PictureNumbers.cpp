// Number and text pictures, and formatting or reading by any picture.
#include "data/PictureText.h"
#include "data/Pictures.h"
#include "data/TextWidth.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace qd {

using namespace picture_text;

namespace {

struct NumberText {
    bool negative = false;
    std::string integer;  // digits, no grouping
    std::string fraction; // digits after the point
};

std::string groupDigits(const std::string& digits) {
    std::string out;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

// Lays out sign, digits and fill by the picture. `digits` is "int[.frac]" of the
// magnitude.
std::string layOutNumber(const Picture& p, std::string digits, bool negative) {
    const bool zero = std::all_of(digits.begin(), digits.end(), [](char c) { return c == '0' || c == '.'; });
    if (zero) {
        if (p.blankZero) return {};
        negative = false;
    }
    if (p.group) {
        const std::size_t dot = digits.find('.');
        const std::string intPart = digits.substr(0, dot);
        digits = groupDigits(intPart) + (dot == std::string::npos ? std::string() : digits.substr(dot));
    }
    std::string lead, trail;
    if (negative) {
        if (p.parentheses) {
            lead = "(";
            trail = ")";
        } else if (p.trailingSign) {
            trail = "-";
        } else {
            lead = "-";
        }
    }
    const std::size_t used = lead.size() + digits.size() + trail.size();
    const std::size_t width = static_cast<std::size_t>(std::max(p.width, 0));
    if (p.fill == '0' && used < width) digits.insert(0, width - used, '0');
    std::string out = lead + digits + trail;
    if (p.fill == '*' && out.size() < width) out.insert(0, width - out.size(), '*');
    return out;
}

Picture numberPictureOrDefault(std::string_view picture) {
    auto p = Picture::parse(picture);
    if (p && p->kind == PictureKind::Numbers) return *p;
    Picture d;
    d.kind = PictureKind::Numbers;
    d.decimals = -1; // any number of decimals when reading
    return d;
}

bool scanNumber(std::string_view text, const Picture& p, NumberText& out, std::string& reason) {
    std::string_view s = text::trimSpace(text);
    if (s.empty()) {
        out.integer = "0";
        return true;
    }
    if (s.front() == '(' && s.back() == ')') {
        out.negative = true;
        s = text::trimSpace(s.substr(1, s.size() - 2));
    } else if (s.front() == '-' || s.front() == '+') {
        out.negative = s.front() == '-';
        s = text::trimSpace(s.substr(1));
    } else if (s.back() == '-') {
        out.negative = true;
        s = text::trimSpace(s.substr(0, s.size() - 1));
    }
    std::size_t i = 0;
    std::size_t groupLen = 0;
    bool grouped = false;
    while (i < s.size() && (isDigit(s[i]) || s[i] == ',')) {
        if (s[i] == ',') {
            if (!p.group || out.integer.empty() || (grouped && groupLen != 3) || (!grouped && groupLen > 3)) {
                reason = "misplaced \",\"";
                return false;
            }
            grouped = true;
            groupLen = 0;
        } else {
            out.integer += s[i];
            ++groupLen;
        }
        ++i;
    }
    if (grouped && groupLen != 3) {
        reason = "misplaced \",\"";
        return false;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i]))
            out.fraction += s[i++];
    }
    if (i < s.size() || (out.integer.empty() && out.fraction.empty())) {
        reason = "not a number";
        return false;
    }
    if (p.decimals >= 0 && out.fraction.size() > static_cast<std::size_t>(p.decimals)) {
        const bool onlyZeros = std::all_of(out.fraction.begin() + p.decimals, out.fraction.end(),
                                           [](char c) { return c == '0'; });
        if (!onlyZeros) {
            reason = p.decimals == 0 ? "no decimals allowed"
                                     : "at most " + std::to_string(p.decimals) + " decimals allowed";
            return false;
        }
    }
    if (out.integer.empty()) out.integer = "0";
    return true;
}

std::string numberText(double value) {
    if (!std::isfinite(value)) return {};
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

double numberFromText(std::string_view text) {
    const std::string_view s = text::trimSpace(text);
    double v = 0;
    const char* b = s.data();
    if (!s.empty() && s.front() == '+') ++b;
    const auto r = std::from_chars(b, s.data() + s.size(), v);
    return r.ec == std::errc() ? v : 0.0;
}

} // namespace

// ---------------------------------------------------------------------------
// Numbers and texts

std::string formatNumber(long long value, std::string_view picture) {
    const Picture p = numberPictureOrDefault(picture);
    const unsigned long long magnitude =
        value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    std::string digits = std::to_string(magnitude);
    if (p.decimals > 0) digits += "." + std::string(static_cast<std::size_t>(p.decimals), '0');
    return layOutNumber(p, std::move(digits), value < 0);
}

std::string formatNumber(double value, std::string_view picture) {
    if (!std::isfinite(value)) return {};
    const Picture p = numberPictureOrDefault(picture);
    const int decimals = std::max(p.decimals, 0);
    std::string digits(400, '\0');
    const auto r = std::to_chars(digits.data(), digits.data() + digits.size(), std::fabs(value),
                                 std::chars_format::fixed, decimals);
    digits.resize(static_cast<std::size_t>(r.ptr - digits.data()));
    return layOutNumber(p, std::move(digits), value < 0);
}

std::optional<double> parseNumber(std::string_view text, std::string_view picture, std::string* error) {
    const Picture p = numberPictureOrDefault(picture);
    NumberText n;
    std::string reason;
    if (!scanNumber(text, p, n, reason)) {
        setError(error, "Invalid number \"" + std::string(text::trimSpace(text)) + "\": " + reason);
        return std::nullopt;
    }
    const std::string plain = n.integer + (n.fraction.empty() ? "" : "." + n.fraction);
    double v = 0;
    const auto r = std::from_chars(plain.data(), plain.data() + plain.size(), v);
    if (r.ec != std::errc() || !std::isfinite(v)) {
        setError(error, "Invalid number \"" + std::string(text::trimSpace(text)) + "\": out of range");
        return std::nullopt;
    }
    return n.negative ? -v : v;
}

std::optional<long long> parseInteger(std::string_view text, std::string_view picture, std::string* error) {
    const Picture p = numberPictureOrDefault(picture);
    NumberText n;
    std::string reason;
    if (!scanNumber(text, p, n, reason)) {
        setError(error, "Invalid number \"" + std::string(text::trimSpace(text)) + "\": " + reason);
        return std::nullopt;
    }
    if (!std::all_of(n.fraction.begin(), n.fraction.end(), [](char c) { return c == '0'; })) {
        setError(error, "Invalid number \"" + std::string(text::trimSpace(text)) + "\": not a whole number");
        return std::nullopt;
    }
    const std::string plain = (n.negative ? "-" : "") + n.integer;
    long long v = 0;
    const auto r = std::from_chars(plain.data(), plain.data() + plain.size(), v);
    if (r.ec != std::errc() || r.ptr != plain.data() + plain.size()) {
        setError(error, "Invalid number \"" + std::string(text::trimSpace(text)) + "\": out of range");
        return std::nullopt;
    }
    return v;
}

std::string formatText(std::string_view text, std::string_view picture) {
    const auto p = Picture::parse(picture);
    if (p && p->kind == PictureKind::Texts) text = cutText(text, static_cast<std::size_t>(p->width));
    return std::string(text::trimRight(text));
}

// ---------------------------------------------------------------------------
// Any picture

std::string formatPicture(double value, std::string_view picture) {
    const auto p = Picture::parse(picture);
    const PictureKind kind = p ? p->kind : PictureKind::Invalid;
    const bool fitsLong = std::isfinite(value) && std::fabs(value) < 2147483648.0;
    switch (kind) {
    case PictureKind::Dates:
        return fitsLong ? formatDate(static_cast<Date>(std::lround(value)), picture) : "";
    case PictureKind::Times:
        return fitsLong ? formatTime(static_cast<Time>(std::lround(value)), picture) : "";
    case PictureKind::Numbers:
        return formatNumber(value, picture);
    case PictureKind::Texts:
        return formatText(numberText(value), picture);
    case PictureKind::Invalid:
        break;
    }
    return numberText(value);
}

std::string formatPicture(std::string_view text, std::string_view picture) {
    const PictureKind kind = pictureKind(picture);
    if (kind == PictureKind::Texts) return formatText(text, picture);
    if (kind == PictureKind::Invalid) return std::string(text::trimRight(text));
    return formatPicture(numberFromText(text), picture);
}

std::optional<double> parsePicture(std::string_view text, std::string_view picture, std::string* error) {
    switch (pictureKind(picture)) {
    case PictureKind::Dates:
        if (auto d = parseDate(text, picture, error)) return *d;
        return std::nullopt;
    case PictureKind::Times:
        if (auto t = parseTime(text, picture, error)) return *t;
        return std::nullopt;
    case PictureKind::Numbers:
        return parseNumber(text, picture, error);
    case PictureKind::Texts:
        setError(error, pictureText(picture) + " is a text picture");
        return std::nullopt;
    case PictureKind::Invalid:
        break;
    }
    setError(error, pictureText(picture) + " is not a picture");
    return std::nullopt;
}

} // namespace qd
