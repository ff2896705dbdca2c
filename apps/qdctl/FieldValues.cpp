#include "FieldValues.h"

#include "data/Calendar.h"

#include <cctype>
#include <charconv>
#include <cstdio>

namespace qdctl {
namespace {

bool parseInt(std::string_view s, long long& v) {
    if (s.empty()) return false;
    const char* b = s.data();
    const char* e = s.data() + s.size();
    if (*b == '+') ++b;
    auto r = std::from_chars(b, e, v);
    return r.ec == std::errc() && r.ptr == e;
}

const long long kFirstDate = qd::dateFromMDY(1, 1, 1801);
const long long kLastDate = qd::dateFromMDY(12, 31, 9999);

// Length of the well-formed UTF-8 sequence at s[i] (no overlong forms, no
// surrogates, nothing above U+10FFFF); 0 when it is not one.
std::size_t utf8Length(const std::string& s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    std::size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF; // range of the second byte
    if (c >= 0xC2 && c <= 0xDF)
        n = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else
        return 0;
    if (i + n > s.size()) return 0;
    if (byte(i + 1) < lo || byte(i + 1) > hi) return 0;
    for (std::size_t k = 2; k < n; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    return n;
}

bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

} // namespace

std::optional<long long> parseIsoDate(const std::string& text) {
    // YYYY-MM-DD
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const std::string_view s(text);
    if (!allDigits(s.substr(0, 4)) || !allDigits(s.substr(5, 2)) || !allDigits(s.substr(8, 2)))
        return std::nullopt;
    const int y = std::stoi(text.substr(0, 4));
    const int m = std::stoi(text.substr(5, 2));
    const int d = std::stoi(text.substr(8, 2));
    if (y < 1801 || m < 1 || m > 12 || d < 1 || d > qd::daysInMonth(y, m)) return std::nullopt;
    return qd::dateFromMDY(m, d, y);
}

std::optional<long long> parseClockTime(const std::string& text) {
    // HH:MM[:SS[.cc]]
    int h = 0, m = 0, s = 0, c = 0;
    const std::string_view v(text);
    if (v.size() < 5 || v[2] != ':' || !allDigits(v.substr(0, 2)) || !allDigits(v.substr(3, 2)))
        return std::nullopt;
    h = std::stoi(text.substr(0, 2));
    m = std::stoi(text.substr(3, 2));
    std::string_view rest = v.substr(5);
    if (!rest.empty()) {
        if (rest.size() < 3 || rest[0] != ':' || !allDigits(rest.substr(1, 2))) return std::nullopt;
        s = std::stoi(std::string(rest.substr(1, 2)));
        rest.remove_prefix(3);
        if (!rest.empty()) {
            if (rest.size() != 3 || rest[0] != '.' || !allDigits(rest.substr(1, 2))) return std::nullopt;
            c = std::stoi(std::string(rest.substr(1, 2)));
        }
    }
    if (h > 23 || m > 59 || s > 59) return std::nullopt;
    return qd::timeFromHMS(h, m, s, c);
}

namespace {

std::optional<long long> parseDate(const std::string& text) {
    long long n = 0;
    if (parseInt(text, n)) return n;
    return parseIsoDate(text);
}

std::optional<long long> parseTime(const std::string& text) {
    long long n = 0;
    if (parseInt(text, n)) return n;
    return parseClockTime(text);
}

} // namespace

std::optional<qd::FieldValue> parseValue(const qd::FieldDef& field, const std::string& text,
                                         std::string& error) {
    switch (field.type) {
    case qd::FieldType::String:
    case qd::FieldType::CString:
    case qd::FieldType::Memo:
        return qd::FieldValue{text};
    case qd::FieldType::Group:
        error = "is a group, not a field";
        return std::nullopt;
    default:
        break;
    }
    std::optional<long long> v;
    if (field.kind == qd::ValueKind::DayNumber) {
        v = parseDate(text);
        if (!v) error = "'" + text + "' is not a date (YYYY-MM-DD or a day number)";
    } else if (field.kind == qd::ValueKind::TimeOfDay) {
        v = parseTime(text);
        if (!v) error = "'" + text + "' is not a time (HH:MM[:SS[.cc]] or a time number)";
    } else {
        long long n = 0;
        if (parseInt(text, n))
            v = n;
        else
            error = "'" + text + "' is not a whole number";
    }
    if (!v) return std::nullopt;
    // Dates and times outside what the calendar keeps would overflow its arithmetic later.
    if (field.kind == qd::ValueKind::DayNumber && *v != 0 && (*v < kFirstDate || *v > kLastDate)) {
        error = "'" + text + "' is outside the dates kept (1801-01-01 to 9999-12-31, day numbers " +
                std::to_string(kFirstDate) + " to " + std::to_string(kLastDate) + ", or 0 for no date)";
        return std::nullopt;
    }
    if (field.kind == qd::ValueKind::TimeOfDay && (*v < 0 || *v > qd::kTimeDay)) {
        error = "'" + text + "' is outside the times of a day (00:00 to 23:59:59.99, time numbers 1 to " +
                std::to_string(qd::kTimeDay) + ", or 0 for no time)";
        return std::nullopt;
    }
    long long lo = INT32_MIN;
    long long hi = INT32_MAX;
    if (field.type == qd::FieldType::Byte) lo = 0, hi = 255;
    if (field.type == qd::FieldType::ULong) lo = 0, hi = UINT32_MAX;
    if (*v < lo || *v > hi) {
        error = "'" + text + "' is out of range (" + std::to_string(lo) + " to " + std::to_string(hi) + ")";
        return std::nullopt;
    }
    return qd::FieldValue{*v};
}

// Stored texts may hold bytes that are not UTF-8 (older data, other programs):
// each such byte becomes U+FFFD so that every line is valid JSON.
std::string jsonEscape(const std::string& s) {
    std::string out = "\"";
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c >= 0x80) {
            if (const std::size_t n = utf8Length(s, i)) {
                out.append(s, i, n);
                i += n;
            } else {
                out += "\\ufffd";
                ++i;
            }
            continue;
        }
        ++i;
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string recordJson(const qd::FileManager& t) {
    std::string out = "{";
    for (int i = 0; i < t.def().valueCount(); ++i) {
        if (i) out += ", ";
        out += jsonEscape(t.def().qualifiedName(i)) + ": ";
        const qd::FieldValue v = t.value(i);
        out += std::holds_alternative<std::string>(v) ? jsonEscape(std::get<std::string>(v))
                                                      : std::to_string(std::get<long long>(v));
    }
    return out + "}";
}

std::string recordLine(const qd::FileManager& t) {
    std::string out;
    for (int i = 0; i < t.def().valueCount(); ++i) {
        const qd::FieldValue v = t.value(i);
        std::string text;
        if (std::holds_alternative<std::string>(v)) {
            text = std::get<std::string>(v);
            if (text.empty()) continue;
            for (auto& c : text)
                if (c == '\n' || c == '\r' || c == '\t') c = ' ';
        } else {
            if (std::get<long long>(v) == 0 && i != 0) continue;
            text = std::to_string(std::get<long long>(v));
        }
        if (!out.empty()) out += "  ";
        out += t.def().qualifiedName(i) + "=" + text;
    }
    return out;
}

std::string recordBlock(const qd::FileManager& t) {
    std::string out;
    for (int i = 0; i < t.def().valueCount(); ++i) {
        const qd::FieldValue v = t.value(i);
        out += t.def().qualifiedName(i) + ": ";
        out += std::holds_alternative<std::string>(v) ? std::get<std::string>(v)
                                                      : std::to_string(std::get<long long>(v));
        out += "\n";
    }
    return out;
}

} // namespace qdctl
