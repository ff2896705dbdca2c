#include "script/WindowTargeting.h"

#include "data/Text.h"
#include "data/TextWidth.h"
#include "platform/TextUtil.h"

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <unordered_set>

namespace qd {

namespace {

// Upper-cased text without trailing blanks.
std::string fold(std::string_view s) {
    return upperCase(text::trimRight(s));
}

// The text cut or padded with blanks to exactly `width` bytes, never splitting
// a character, so every field of a line starts at a fixed byte position.
std::string field(std::string_view text, std::size_t width) {
    std::string out(cutText(text, width, width));
    out.append(width - out.size(), ' ');
    return out;
}

constexpr const char* kLineEnd = "\n";

} // namespace

bool TitleMatchesPattern(std::string_view title, std::string_view pattern) {
    if (IsWaitForAbsence(pattern)) pattern.remove_prefix(1);
    if (fold(pattern) == fold(title)) return true;
    const std::size_t star = pattern.find('*');
    if (star == std::string_view::npos) return false;
    if (star == 0) return upperCase(title).find(fold(pattern.substr(1))) != std::string::npos;
    // The title's first characters, padded with blanks when the title is shorter.
    const std::u32string prefix = decodeUtf8(pattern.substr(0, star));
    std::u32string head = decodeUtf8(title).substr(0, prefix.size());
    head.resize(prefix.size(), U' ');
    return upperCase(encodeUtf8(prefix)) == upperCase(encodeUtf8(head));
}

const std::vector<WindowListEntry>& WindowTargeting::ListWindows() {
    list_.clear();
    std::vector<TopLevelWindow> all;
    if (windows_.topLevelWindows(all) != WindowStatus::Ok) return list_;
    for (const TopLevelWindow& w : all) {
        if (w.title.empty()) continue;
        if (excludeHiddenWindows && !w.visible) continue;
        list_.push_back({std::string(cutText(w.title, kMaxWindowText)), w.handle,
                         std::string(cutText(w.className, kMaxWindowText))});
    }
    return list_;
}

const std::vector<ChildListEntry>& WindowTargeting::ListChildWindows(WindowHandle window) {
    children_.clear();
    for (const ChildWindow& c : windows_.childWindows(window)) {
        if (c.text.empty()) continue;
        children_.push_back({std::string(cutText(c.text, kMaxWindowText)),
                             std::string(cutText(c.className, kMaxWindowText)), c.handle});
    }
    return children_;
}

WindowHandle WindowTargeting::FindWindowByPattern(std::string_view pattern, std::string_view childText) {
    const std::vector<WindowListEntry> list = ListWindows(); // a copy: the child lists reuse members
    const std::string child = fold(childText);
    for (const WindowListEntry& entry : list) {
        if (!TitleMatchesPattern(entry.text, pattern)) continue;
        if (child.empty()) return entry.handle;
        for (const ChildListEntry& c : ListChildWindows(entry.handle))
            if (upperCase(c.text).find(child) != std::string::npos) return entry.handle;
    }
    return 0;
}

int WindowTargeting::LogWindows(const std::string& fileName) {
    // Non-blocking open: a FIFO without a reader under that name fails at once
    // instead of holding the script.
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) return -1;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(::fdopen(fd, "wb"), &std::fclose);
    if (!file) {
        ::close(fd);
        return -1;
    }
    ListWindows();
    bool ok = true;
    // Five fields: window text 40, window handle 12, child text 40, child class 20, child handle 12.
    const auto write = [&](const std::string& line) {
        const std::string full = line + kLineEnd;
        ok = ok && std::fwrite(full.data(), 1, full.size(), file.get()) == full.size();
    };
    const auto windowLine = [&](std::string_view text, WindowHandle handle) {
        write(field(text, 40) + field(std::to_string(handle), 12) + std::string(72, ' '));
    };
    const auto childLine = [&](const ChildListEntry& c) {
        write(std::string(52, ' ') + field(c.text, 40) + field(c.className, 20) +
              field(std::to_string(c.handle), 12));
    };
    // The list grows while it is walked: children whose class names a window are
    // appended so that their own children are logged too.
    std::unordered_set<WindowHandle> listed;
    for (const WindowListEntry& e : list_)
        listed.insert(e.handle);
    for (std::size_t i = 0; i < list_.size(); ++i) {
        const WindowListEntry entry = list_[i];
        windowLine(entry.text, entry.handle);
        const std::vector<ChildListEntry> kids = ListChildWindows(entry.handle);
        for (const ChildListEntry& c : kids) {
            if (c.text == "<>") continue;
            childLine(c);
            // A child without a window of its own (handle 0) has no children to list.
            if (c.className.find("Win") != std::string::npos && c.handle != 0 &&
                listed.insert(c.handle).second) {
                const std::string text =
                    c.text + " (Child of " + std::string(text::trimRight(entry.text)) + ")";
                list_.push_back({std::string(cutText(text, kMaxWindowText)), c.handle, c.className});
            }
        }
    }
    if (std::fflush(file.get()) != 0) ok = false;
    if (!ok) return -1;
    return static_cast<int>(list_.size());
}

std::string WindowTargeting::FocusText() {
    const WindowHandle w = windows_.foregroundWindow();
    if (w == 0) return {};
    return std::string(cutText(windows_.windowText(w), kMaxWindowText));
}

WindowHandle WindowTargeting::SetFocus(std::string_view pattern, std::string_view childText,
                                       WindowStatus* status) {
    const WindowHandle w = FindWindowByPattern(pattern, childText);
    WindowStatus s = WindowStatus::NotFound;
    if (w > 31) s = windows_.activate(w);
    if (status) *status = s;
    return w;
}

CloseOutcome WindowTargeting::CloseProgram(std::string_view pattern, std::string_view childText,
                                           WindowHandle ownMainWindow, WindowHandle startHandle) {
    WindowHandle target = 0;
    if (!text::trimRight(pattern).empty()) {
        target = FindWindowByPattern(pattern, childText);
        if (target < 31) return CloseOutcome::NotFound;
    } else {
        target = windows_.foregroundWindow();
        if (target == 0) return CloseOutcome::NoWindow;
        if (ownMainWindow != 0 && target == ownMainWindow) target = startHandle;
        if (target == 0) return CloseOutcome::NoWindow;
    }
    return windows_.close(target) == WindowStatus::Ok ? CloseOutcome::Closed : CloseOutcome::Failed;
}

} // namespace qd
