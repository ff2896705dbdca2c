// The user's locale for the locale-dependent pictures (@d17, @d18, @t7, @t8).
#include "data/Pictures.h"

#include <cstring>
#include <langinfo.h>
#include <locale.h>
#include <mutex>

namespace qd {

namespace {

std::string widenYear(std::string pattern) {
    for (std::size_t i = 0; i + 1 < pattern.size(); ++i) {
        if (pattern[i] != '%') continue;
        std::size_t j = i + 1;
        while (j < pattern.size() && std::strchr("-_0EO^#", pattern[j]))
            ++j;
        if (j < pattern.size() && pattern[j] == 'y') pattern[j] = 'Y';
        if (j < pattern.size() && pattern[j] == 'D') pattern.replace(i, j - i + 1, "%m/%d/%Y");
        i = j;
    }
    return pattern;
}

// The time pattern without its seconds and the separator before them.
std::string dropSeconds(const std::string& pattern) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            std::size_t j = i + 1;
            while (j < pattern.size() && std::strchr("-_0EO^#", pattern[j]))
                ++j;
            if (j < pattern.size() && pattern[j] == 'S') {
                while (!out.empty() && out.back() != '%' && std::strchr(":.,", out.back()))
                    out.pop_back();
                i = j;
                continue;
            }
            out.append(pattern, i, j - i + 1);
            i = j;
            continue;
        }
        out += pattern[i];
    }
    return out;
}

std::string expandTimeComposites(std::string pattern, const std::string& ampmPattern) {
    for (std::size_t i = 0; i + 1 < pattern.size(); ++i) {
        if (pattern[i] != '%') continue;
        const char c = pattern[i + 1];
        const char* rep = nullptr;
        std::string ampm;
        if (c == 'T') rep = "%H:%M:%S";
        if (c == 'R') rep = "%H:%M";
        if (c == 'r') {
            ampm = ampmPattern.empty() ? "%I:%M:%S %p" : ampmPattern;
            rep = ampm.c_str();
        }
        if (rep) {
            const std::string r = rep;
            pattern.replace(i, 2, r);
            i += r.size() - 1;
        } else {
            ++i;
        }
    }
    return pattern;
}

// Long date in the order of the short date: month first, day first or year first.
std::string longDateFor(const std::string& shortDate) {
    auto find = [&](const char* letters) {
        for (std::size_t i = 0; i + 1 < shortDate.size(); ++i) {
            if (shortDate[i] != '%') continue;
            std::size_t j = i + 1;
            while (j < shortDate.size() && std::strchr("-_0EO^#", shortDate[j]))
                ++j;
            if (j < shortDate.size() && std::strchr(letters, shortDate[j])) return i;
            i = j;
        }
        return std::string::npos;
    };
    const std::size_t d = find("de");
    const std::size_t m = find("mbBh");
    const std::size_t y = find("yY");
    if (y != std::string::npos && d != std::string::npos && y < d && y < m) return "%A, %Y %B %-d";
    if (d != std::string::npos && m != std::string::npos && d < m) return "%A, %-d %B %Y";
    return "%A, %B %-d, %Y";
}

PictureLocale fromLocaleHandle(locale_t loc) {
    PictureLocale l;
    auto info = [&](nl_item item) { return std::string(nl_langinfo_l(item, loc)); };
    const std::string dfmt = info(D_FMT);
    if (!dfmt.empty()) l.shortDate = widenYear(dfmt);
    l.longDate = longDateFor(l.shortDate);
    const std::string tfmt = expandTimeComposites(info(T_FMT), info(T_FMT_AMPM));
    if (!tfmt.empty()) {
        l.longTime = tfmt;
        l.shortTime = dropSeconds(tfmt);
    }
    static constexpr nl_item kMon[] = {MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                                       MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
    static constexpr nl_item kAbMon[] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4,  ABMON_5,  ABMON_6,
                                         ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
    static constexpr nl_item kDay[] = {DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
    static constexpr nl_item kAbDay[] = {ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4, ABDAY_5, ABDAY_6, ABDAY_7};
    for (std::size_t i = 0; i < 12; ++i) {
        if (std::string s = info(kMon[i]); !s.empty()) l.monthNames[i] = s;
        if (std::string s = info(kAbMon[i]); !s.empty()) l.monthAbbrevs[i] = s;
    }
    for (std::size_t i = 0; i < 7; ++i) {
        if (std::string s = info(kDay[i]); !s.empty()) l.dayNames[i] = s;
        if (std::string s = info(kAbDay[i]); !s.empty()) l.dayAbbrevs[i] = s;
    }
    if (std::string s = info(AM_STR); !s.empty()) l.am = s;
    if (std::string s = info(PM_STR); !s.empty()) l.pm = s;
    return l;
}

std::mutex& localeMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<const PictureLocale>& localeSlot() {
    static std::shared_ptr<const PictureLocale> slot;
    return slot;
}

} // namespace

PictureLocale PictureLocale::fromSystem() {
    locale_t loc = newlocale(LC_TIME_MASK, "", locale_t{});
    if (!loc) loc = newlocale(LC_TIME_MASK, "C", locale_t{});
    if (!loc) return PictureLocale{};
    PictureLocale l = fromLocaleHandle(loc);
    freelocale(loc);
    return l;
}

std::optional<PictureLocale> PictureLocale::fromName(const std::string& name) {
    locale_t loc = newlocale(LC_TIME_MASK, name.c_str(), locale_t{});
    if (!loc) return std::nullopt;
    PictureLocale l = fromLocaleHandle(loc);
    freelocale(loc);
    return l;
}

std::shared_ptr<const PictureLocale> pictureLocale() {
    std::lock_guard lock(localeMutex());
    auto& slot = localeSlot();
    if (!slot) slot = std::make_shared<const PictureLocale>(PictureLocale::fromSystem());
    return slot;
}

void setPictureLocale(PictureLocale locale) {
    auto next = std::make_shared<const PictureLocale>(std::move(locale));
    std::lock_guard lock(localeMutex());
    localeSlot() = std::move(next);
}

} // namespace qd
