#include "platform/fake/FakeClipboard.h"

namespace qd {

namespace {
struct FakeSnapshot : ClipboardSnapshot {
    std::map<std::string, std::string> formats;
};
} // namespace

std::unique_ptr<ClipboardSnapshot> FakeClipboard::save() {
    if (formats.empty()) return nullptr;
    auto s = std::make_unique<FakeSnapshot>();
    s->formats = formats;
    return s;
}

void FakeClipboard::restoreAfterPaste(std::unique_ptr<ClipboardSnapshot> snapshot) {
    auto* s = dynamic_cast<FakeSnapshot*>(snapshot.get());
    if (!s) return;
    formats = s->formats;
    ++restores;
}

} // namespace qd
