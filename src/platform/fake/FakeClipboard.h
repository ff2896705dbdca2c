// A clipboard in memory for tests: a text plus other formats, snapshots that
// copy both, and a record of what was restored.
#pragma once

#include "platform/Clipboard.h"

#include <map>
#include <string>
#include <vector>

namespace qd {

class FakeClipboard final : public Clipboard {
public:
    std::string text() override {
        return formats.count("text/plain") ? formats["text/plain"] : std::string();
    }
    void setText(const std::string& text) override {
        formats.clear();
        formats["text/plain"] = text;
        ownWrites.push_back(text);
    }
    std::unique_ptr<ClipboardSnapshot> save() override;
    // Restores at once (a test has no target that takes the paste).
    void restoreAfterPaste(std::unique_ptr<ClipboardSnapshot> snapshot) override;

    std::map<std::string, std::string> formats; // MIME type -> bytes
    std::vector<std::string> ownWrites;
    int restores = 0;
};

} // namespace qd
