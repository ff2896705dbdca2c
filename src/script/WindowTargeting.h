// Finding windows of other applications by title pattern and child text, the
// window list written by the "Log Windows" file action, and the focus and close
// requests of the script steps.
//
// Title patterns:
//   "Notepad"       the whole title, any case, trailing blanks ignored
//   "Untitled - *"  the title begins with the text before the star
//   "*Notepad"      the phrase after the star occurs anywhere in the title
//   "~..."          any of these; the tilde only tells "Wait" to wait for the
//                   window to go away, the search ignores it
#pragma once

#include "platform/WindowSystem.h"

#include <string>
#include <string_view>
#include <vector>

namespace qd {

struct WindowListEntry {
    std::string text; // at most 254 characters
    WindowHandle handle = 0;
    std::string className;
};

struct ChildListEntry {
    std::string text;
    std::string className;
    WindowHandle handle = 0;
};

// Longest window or child text kept.
inline constexpr std::size_t kMaxWindowText = 254;

// True when a title matches a pattern (a leading "~" is ignored).
bool TitleMatchesPattern(std::string_view title, std::string_view pattern);

// True when the pattern asks to wait for the window to go away.
inline bool IsWaitForAbsence(std::string_view pattern) {
    return !pattern.empty() && pattern.front() == '~';
}

enum class CloseOutcome {
    Closed,   // the window was asked to close
    NoWindow, // no pattern and no foreground window to close: nothing done
    NotFound, // no window matches the pattern: the caller starts killproc with the pattern
    Failed,   // the window system refused (no display ...)
};

// Builds the lists afresh on every call and keeps the latest ones for the
// step editor's pickers.
class WindowTargeting {
public:
    explicit WindowTargeting(WindowSystem& windows) : windows_(windows) {}

    // GLO:EXCLUDEHIDDENWINDOWS: leave invisible titled windows out of the list.
    bool excludeHiddenWindows = false;

    // Top-level windows that have a text, front to back.
    const std::vector<WindowListEntry>& ListWindows();
    // Descendants of a window that have a text.
    const std::vector<ChildListEntry>& ListChildWindows(WindowHandle window);

    // Handle of the first listed window that matches the pattern and, when the
    // child text is not blank, has a descendant whose text contains it (any
    // case); 0 when none.
    WindowHandle FindWindowByPattern(std::string_view pattern, std::string_view childText);

    // Writes the window list with every window's children to a file of
    // fixed-width lines; returns the final number of window-list entries, or -1
    // when the file cannot be written.
    int LogWindows(const std::string& fileName);

    // Text of the window that has the keyboard focus ("" when none): [FOCUS].
    std::string FocusText();

    // "Set Focus": finds the window and brings it to the front with the keyboard
    // focus. Returns the handle found (0 when none); `status` tells whether the
    // activation worked.
    WindowHandle SetFocus(std::string_view pattern, std::string_view childText,
                          WindowStatus* status = nullptr);

    // "Close Program". With a pattern: asks the matching window to close, or
    // NotFound. Without one: the foreground window, or `startHandle` when the
    // foreground window is `ownMainWindow`; NoWindow when there is none.
    CloseOutcome CloseProgram(std::string_view pattern, std::string_view childText,
                              WindowHandle ownMainWindow = 0, WindowHandle startHandle = 0);

    const std::vector<WindowListEntry>& lastWindowList() const { return list_; }
    const std::vector<ChildListEntry>& lastChildList() const { return children_; }
    WindowSystem& windowSystem() { return windows_; }

private:
    WindowSystem& windows_;
    std::vector<WindowListEntry> list_;
    std::vector<ChildListEntry> children_;
};

} // namespace qd
