#include "script/Keystrokes.h"

#include "data/Clock.h"
#include "data/Text.h"
#include "platform/TextUtil.h"

#include <algorithm>
#include <array>
#include <thread>
#include <unordered_map>

namespace qd {

namespace {

const std::unordered_map<std::string, int>& keyTable() {
    static const std::unordered_map<std::string, int> table = [] {
        std::unordered_map<std::string, int> t = {
            {"AST", 106},        {"BS", 8},         {"CAPSLOCK", 20},   {"CAPS", 20},      {"DECIMAL", 110},
            {"DELETE", 46},      {"DOWN", 40},      {"END", 35},        {"ENTER", 13},     {"ESC", 27},
            {"HOME", 36},        {"INSERT", 45},    {"LEFT", 37},       {"MINUS", 109},    {"PAUSE", 19},
            {"PGDN", 34},        {"PGUP", 33},      {"PLUS", 107},      {"PRINT", 44},     {"RIGHT", 39},
            {"SLASH", 111},      {"SPACE", 32},     {"TAB", 9},         {"UP", 38},        {"MOUSE", 1},
            {"MOUSELEFT", 1},    {"MOUSERIGHT", 2}, {"MOUSECENTER", 3}, {"MOUSELEFT2", 5}, {"MOUSERIGHT2", 6},
            {"MOUSECENTER2", 7},
        };
        for (int i = 1; i <= 12; ++i)
            t["F" + std::to_string(i)] = 111 + i;
        for (char c = 'A'; c <= 'Z'; ++c)
            t[std::string(1, c)] = c;
        for (char c = '0'; c <= '9'; ++c) {
            t[std::string(1, c)] = c;
            t[std::string("PAD") + c] = 96 + (c - '0');
        }
        return t;
    }();
    return table;
}

constexpr std::array<std::pair<int, int>, 4> kModifierKeys = {{
    {kModShift, vk::kShift},
    {kModCtrl, vk::kControl},
    {kModAlt, vk::kAlt},
    {kModWin, vk::kLeftWin},
}};

bool fatal(KeyStatus s) {
    return s == KeyStatus::NoDisplay || s == KeyStatus::Failed;
}

} // namespace

int KeyNameToCode(std::string_view name) {
    // Modifier prefixes are peeled off one at a time; each sets its flag (a
    // repeated prefix does not turn into another modifier).
    int flags = 0;
    for (;;) {
        if (name.empty()) break;
        const char first = name.front();
        if (first == '+' || first == '^' || first == '%' || first == '-') {
            flags |= first == '+' ? kModShift : first == '^' ? kModCtrl : first == '%' ? kModAlt : 0;
            name.remove_prefix(1);
            continue;
        }
        const std::string head = text::upperAscii(name.substr(0, 3));
        if (head == "CTR") {
            flags |= kModCtrl;
            name.remove_prefix(std::min<std::size_t>(4, name.size()));
        } else if (head == "ALT") {
            flags |= kModAlt;
            name.remove_prefix(3);
        } else if (head == "SHI") {
            flags |= kModShift;
            name.remove_prefix(std::min<std::size_t>(5, name.size()));
        } else {
            break;
        }
    }
    std::string key = text::upperAscii(text::trimRight(name));
    if (const auto pos = key.find("KEY"); pos != std::string::npos) key.erase(pos, 3);
    const auto& table = keyTable();
    const auto it = table.find(key);
    return flags | (it == table.end() ? 0 : it->second);
}

KeyStatus PressKey(Keyboard& keyboard, int code) {
    int pressed = 0; // modifier flags whose key is down
    KeyStatus status = KeyStatus::Ok;
    for (const auto& [flag, key] : kModifierKeys) {
        if ((code & flag) == 0) continue;
        status = keyboard.keyDown(key);
        if (status != KeyStatus::Ok) break;
        pressed |= flag;
    }
    if (status == KeyStatus::Ok) {
        const int key = code & 0xFF;
        status = keyboard.keyDown(key);
        const KeyStatus up = keyboard.keyUp(key);
        if (status == KeyStatus::Ok) status = up;
    }
    for (const auto& [flag, key] : kModifierKeys) {
        if ((pressed & flag) == 0) continue;
        const KeyStatus up = keyboard.keyUp(key);
        if (status == KeyStatus::Ok) status = up;
    }
    return status;
}

TypeTextResult TypeText(Keyboard& keyboard, std::string_view text) {
    TypeTextResult result;
    if (text.empty()) return result;
    const bool capsWasOn = keyboard.capsLockOn();
    if (capsWasOn) {
        result.status = PressKey(keyboard, vk::kCapital);
        if (fatal(result.status)) return result;
    }
    const std::u32string chars = decodeUtf8(text);
    for (std::size_t i = 0; i < chars.size(); ++i) {
        if (chars[i] == U'\r' && i + 1 < chars.size() && chars[i + 1] == U'\n') continue; // CR LF: one Enter
        const KeyStatus s = keyboard.typeCharacter(chars[i]);
        if (s == KeyStatus::Unsupported) {
            ++result.skipped;
        } else if (s != KeyStatus::Ok) {
            result.status = s;
            break;
        }
    }
    if (result.status == KeyStatus::Unsupported) result.status = KeyStatus::Ok;
    if (capsWasOn) {
        const KeyStatus s = PressKey(keyboard, vk::kCapital);
        if (result.status == KeyStatus::Ok) result.status = s;
    }
    return result;
}

KeystrokeSender::KeystrokeSender(Keyboard& keyboard) : keyboard_(keyboard) {}

void KeystrokeSender::setSettings(const KeystrokeSettings& settings) {
    settings_ = settings;
    if (settings_.burstSize == 0) settings_.burstSize = 7;
    settings_.burstSize = std::clamp(settings_.burstSize, 1, 255);
    settings_.globalDelay = std::max(settings_.globalDelay, 0);
}

void KeystrokeSender::pause() {
    if (skipPause_) {
        skipPause_ = false;
        return;
    }
    const int delay = settings_.globalDelay;
    if (delay <= 0) return;
    const Clock& clock = clock_ ? *clock_ : systemClock();
    const long long target = static_cast<long long>(clock.clockTime()) + delay;
    const std::chrono::milliseconds step(delay / 10);
    // Besides the clock, the pause is bounded by real time and by a count of
    // sleeps, so a clock that stands still (a fixed test or batch clock) cannot
    // hold the sender forever.
    const auto realStart = std::chrono::steady_clock::now();
    const auto realLimit = std::chrono::milliseconds(2LL * delay * 10);
    for (long sleeps = 0; sleeps < 100000; ++sleeps) {
        const long long now = clock.clockTime();
        if (now >= target) break;
        if (target - now >= 2LL * delay) break; // the clock passed midnight
        if (std::chrono::steady_clock::now() - realStart >= realLimit) break;
        if (sleep_)
            sleep_(step);
        else
            std::this_thread::sleep_for(step);
    }
}

void KeystrokeSender::advanceBusyIcon() {
    static constexpr std::array<const char*, 8> kIcons = {"busykey.ico",  "busykey2.ico", "busykey3.ico",
                                                          "busykey4.ico", "busykey2.ico", "busykey4.ico",
                                                          "busykey.ico",  "busykey3.ico"};
    phase_ = phase_ % 8 + 1;
    if (busyIcon_) busyIcon_(kIcons[static_cast<std::size_t>(phase_ - 1)]);
}

TypeTextResult KeystrokeSender::sendNamedKey(const std::string& name) {
    if (const int code = KeyNameToCode(name); code != 0) {
        const KeyStatus s = PressKey(keyboard_, code);
        if (s == KeyStatus::Unsupported) return {KeyStatus::Ok, 1}; // no such key here: left out
        return {s, 0};
    }
    if (translate_) {
        const std::string translated = translate_(name);
        if (!translated.empty() && translated != name) return TypeText(keyboard_, translated);
    }
    return TypeText(keyboard_, name);
}

bool KeystrokeSender::sendGroup(Progress& p, std::size_t plainLimit) {
    const std::u32string& text = p.text;
    const auto accumulate = [&p](const TypeTextResult& r) {
        p.total.skipped += r.skipped;
        if (r.status != KeyStatus::Ok && p.total.status == KeyStatus::Ok) p.total.status = r.status;
        return !fatal(r.status);
    };
    p.midPlain = false;
    const std::size_t open = text.find(U'[', p.at);
    if (open == std::u32string::npos) {
        std::size_t end = text.size();
        while (end > p.at && text[end - 1] == U' ')
            --end;
        const std::size_t count = std::min(end - p.at, plainLimit);
        const bool ok =
            accumulate(TypeText(keyboard_, encodeUtf8(std::u32string_view(text).substr(p.at, count))));
        p.at += count;
        if (p.at >= end) {
            p.at = text.size(); // trailing blanks are not typed
        } else {
            p.midPlain = true;
        }
        return ok;
    }
    if (open == p.at) {
        const std::size_t close = text.find(U']', p.at + 1);
        if (close == std::u32string::npos) { // the lone "[" is dropped
            ++p.at;
            return true;
        }
        const std::string name = encodeUtf8(std::u32string_view(text).substr(p.at + 1, close - p.at - 1));
        p.at = close + 1;
        return accumulate(sendNamedKey(name));
    }
    const std::size_t count = std::min(open - p.at, static_cast<std::size_t>(settings_.burstSize));
    const std::string burst = encodeUtf8(std::u32string_view(text).substr(p.at, count));
    p.at += count;
    return accumulate(TypeText(keyboard_, burst));
}

TypeTextResult KeystrokeSender::SendKeystrokes(std::string_view input) {
    if (input.empty()) {
        skipPause_ = false;
        return {};
    }
    KeyReleaseGuard guard(keyboard_);
    keyboard_.waitForModifiersReleased(modifierWait_);

    // Work on code points so a burst never splits a character.
    Progress p;
    p.text = decodeUtf8(input);
    while (p.at < p.text.size()) {
        pause();
        advanceBusyIcon();
        if (!sendGroup(p, std::u32string::npos)) break;
    }
    keyboard_.flush();
    skipPause_ = false;
    return p.total;
}

KeystrokeRun::KeystrokeRun(KeystrokeSender& sender, std::string_view text, std::size_t plainPiece)
    : sender_(sender), plainPiece_(std::max<std::size_t>(plainPiece, 1)) {
    progress_.text = decodeUtf8(text);
    done_ = progress_.text.empty();
}

void KeystrokeRun::next() {
    if (done_) return;
    KeyReleaseGuard guard(sender_.keyboard_);
    if (!progress_.midPlain) sender_.advanceBusyIcon();
    const bool ok = sender_.sendGroup(progress_, plainPiece_);
    sender_.keyboard_.flush();
    done_ = !ok || progress_.at >= progress_.text.size();
}

std::chrono::milliseconds KeystrokeRun::pauseBeforeNext() const {
    if (progress_.midPlain) return std::chrono::milliseconds(0);
    return std::chrono::milliseconds(10LL * std::max(sender_.settings_.globalDelay, 0));
}

} // namespace qd
