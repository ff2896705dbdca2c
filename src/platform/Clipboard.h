// The desktop clipboard as the hot keys and the clipboard saver use it.
#pragma once

#include <memory>
#include <optional>
#include <string>

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

} // namespace qd
