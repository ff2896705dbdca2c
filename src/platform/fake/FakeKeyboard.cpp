#include "platform/fake/FakeKeyboard.h"

#include "platform/TextUtil.h"

#include <map>

namespace qd {

std::string FakeKeyboard::keyName(int virtualKey) {
    static const std::map<int, std::string> names = {
        {8, "BS"},      {9, "TAB"},       {13, "ENTER"},  {16, "SHIFT"}, {17, "CTRL"},  {18, "ALT"},
        {19, "PAUSE"},  {20, "CAPS"},     {27, "ESC"},    {32, "SPACE"}, {33, "PGUP"},  {34, "PGDN"},
        {35, "END"},    {36, "HOME"},     {37, "LEFT"},   {38, "UP"},    {39, "RIGHT"}, {40, "DOWN"},
        {44, "PRINT"},  {45, "INSERT"},   {46, "DELETE"}, {91, "WIN"},   {106, "AST"},  {107, "PLUS"},
        {109, "MINUS"}, {110, "DECIMAL"}, {111, "SLASH"},
    };
    if (auto it = names.find(virtualKey); it != names.end()) return it->second;
    if ((virtualKey >= '0' && virtualKey <= '9') || (virtualKey >= 'A' && virtualKey <= 'Z'))
        return std::string(1, static_cast<char>(virtualKey));
    if (virtualKey >= 96 && virtualKey <= 105) return "PAD" + std::to_string(virtualKey - 96);
    if (virtualKey >= 112 && virtualKey <= 135) return "F" + std::to_string(virtualKey - 111);
    return "VK" + std::to_string(virtualKey);
}

void FakeKeyboard::record(Event e) {
    events.push_back(e);
    if (onEvent) onEvent();
}

KeyStatus FakeKeyboard::keyDown(int virtualKey) {
    if (noDisplay) return KeyStatus::NoDisplay;
    down_.insert(virtualKey);
    if (virtualKey == vk::kCapital) capsLock = !capsLock;
    record({Event::Down, virtualKey, 0});
    return KeyStatus::Ok;
}

KeyStatus FakeKeyboard::keyUp(int virtualKey) {
    if (noDisplay) return KeyStatus::NoDisplay;
    if (auto it = down_.find(virtualKey); it != down_.end()) down_.erase(it);
    record({Event::Up, virtualKey, 0});
    return KeyStatus::Ok;
}

KeyStatus FakeKeyboard::typeCharacter(char32_t ch) {
    if (noDisplay) return KeyStatus::NoDisplay;
    if (missingCharacters.count(ch) != 0) return KeyStatus::Unsupported;
    record({Event::Char, 0, ch});
    return KeyStatus::Ok;
}

bool FakeKeyboard::waitForModifiersReleased(std::chrono::milliseconds timeout) {
    lastWait = timeout;
    return userHeldModifiers == 0;
}

void FakeKeyboard::releaseAll() {
    ++releaseAllCalls;
    while (!down_.empty()) {
        const int key = *down_.begin();
        down_.erase(down_.begin());
        record({Event::Up, key, 0});
    }
}

std::string FakeKeyboard::trace() const {
    std::string out;
    for (const Event& e : events) {
        switch (e.kind) {
        case Event::Char:
            appendUtf8(out, e.ch);
            break;
        case Event::Down:
            out += "{+" + keyName(e.virtualKey) + "}";
            break;
        case Event::Up:
            out += "{-" + keyName(e.virtualKey) + "}";
            break;
        }
    }
    return out;
}

std::string FakeKeyboard::typedText() const {
    std::string out;
    for (const Event& e : events)
        if (e.kind == Event::Char) appendUtf8(out, e.ch);
    return out;
}

} // namespace qd
