// The desktop clipboard as the hot keys and the clipboard saver use it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qd {

// Everything the clipboard held at one moment, every format; opaque to the core.
class ClipboardSnapshot {
public:
    virtual ~ClipboardSnapshot() = default;
};

class Clipboard {
public:
    virtual ~Clipboard() = default;

    // The clipboard's text (UTF-8); empty when it holds no text.
    virtual std::string text() = 0;
    // Puts a text on the clipboard as this program's own write (the clipboard
    // saver does not store it).
    virtual void setText(const std::string& text) = 0;

    // Takes a copy of every format the clipboard holds now; null when empty.
    virtual std::unique_ptr<ClipboardSnapshot> save() = 0;
    // Puts a saved content back once the paste that followed setText() was
    // taken by its target (or after a short time when it never asks), as the
    // program's own write. A null snapshot leaves the clipboard as it is.
    virtual void restoreAfterPaste(std::unique_ptr<ClipboardSnapshot> snapshot) = 0;
};

// The format password managers add to say a content is secret ("secret").
inline constexpr const char* kPasswordManagerHint = "x-kde-passwordManagerHint";

// One clipboard content, read by the watcher as soon as its owner took the
// clipboard.
struct ClipboardCopy {
    std::vector<std::string> formats; // the MIME types and target names it offered
    bool hasText = false;
    std::string text;       // UTF-8
    std::string secretHint; // the value of kPasswordManagerHint, when offered
    // The next owner took the clipboard before the request for this content
    // reached the display server: the content cannot be read by anyone any
    // more (its owner only serves requests that reach it while it owns the
    // clipboard). Nothing else is filled in.
    bool lost = false;
};

// Reads every content another program puts on the clipboard, on a thread of
// its own with a display connection of its own, the moment the display tells
// that the owner changed. A busy event loop elsewhere in the program cannot
// make it late: the owner of a copy serves it only until the next copy
// replaces it.
class ClipboardWatcher {
public:
    virtual ~ClipboardWatcher() = default;
    // Starts watching (the current content counts as the first copy). `onCopy`
    // runs on the watcher's thread, once a copy, in the order of the copies. A
    // content that offers `ownFormat` is this program's own: its formats are
    // reported, its text is not asked for (asking would count as a paste
    // taken). False when the display cannot tell about owner changes.
    virtual bool start(std::function<void(ClipboardCopy)> onCopy, std::string ownFormat) = 0;
    // Ends the thread; no call of onCopy runs after it returns.
    virtual void stop() = 0;
};

} // namespace qd
