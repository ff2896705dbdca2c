// hotkeys list: every hot key with what it does and, while the program runs on
// this data folder, whether it holds the combination. clip list / clip add:
// the clipboard saver's entries, newest first, and an entry added by the
// saver's rules.
#include "HotKeyCommands.h"

#include "FieldValues.h"

#include "clipboard/ClipboardSaver.h"
#include "data/FileManager.h"
#include "data/Pictures.h"
#include "data/TableDefs.h"
#include "data/Text.h"
#include "hotkeys/HotKeyNames.h"
#include "hotkeys/HotKeyState.h"

#include <charconv>
#include <limits>

namespace qdctl {

namespace {

std::string stateText(const std::optional<qd::HotKeyStateFile>& state, const qd::SysHotKeysRecord& r,
                      int code) {
    if (code == 0 || qd::hotKeyVirtualKey(code) == 0) return "invalid key";
    if (r.Active != 1) return "inactive";
    if (!state) return "-";
    const auto it = state->byCode.find(code);
    if (it == state->byCode.end()) return "not registered";
    return it->second == qd::HotKeyStatus::Ok ? "registered"
                                              : std::string("refused: ") + qd::toString(it->second);
}

// One line of a text field: line breaks shown as "\n" so each entry stays on one line.
std::string oneLine(const std::string& s) {
    std::string out;
    for (char ch : s) {
        if (ch == '\n')
            out += "\\n";
        else if (ch == '\r')
            out += "\\r";
        else if (ch == '\t')
            out += "\\t";
        else
            out += ch;
    }
    return out;
}

} // namespace

int cmdHotkeys(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    if (pos >= args.size() || args[pos] != "list") return c.usage("hotkeys needs list");
    if (pos + 1 < args.size()) return c.usage("unexpected '" + args[pos + 1] + "' after hotkeys list");
    const auto state = qd::readHotKeyState(qd::hotKeyStatePath(c.data().folder()));
    qd::Table<qd::SysHotKeysRecord> t(c.data(), qd::tables::SysHotKeys());
    if (t.open() != qd::Level::Benign) return c.failed("the hot-key table cannot be opened");
    t.setOrder(t.def().findKey("K_HotKey"));
    while (t.tryNext() == qd::Level::Benign) {
        const int code = qd::TrnKeyName(qd::text::trimRight(t.rec.HotKey));
        const std::string st = stateText(state, t.rec, code);
        const std::string what =
            qd::text::upperAscii(qd::text::trim(t.rec.Action)) == "TASK"
                ? "Task " + std::to_string(t.rec.ID)
                : qd::text::trimmedRight(t.rec.Action) + " " + qd::text::trimmedRight(t.rec.TextType);
        if (c.json) {
            c.io.out << "{\"HOT:HotKey\": " << jsonEscape(t.rec.HotKey)
                     << ", \"HOT:Active\": " << int(t.rec.Active)
                     << ", \"HOT:Description\": " << jsonEscape(t.rec.Description)
                     << ", \"HOT:Action\": " << jsonEscape(t.rec.Action)
                     << ", \"HOT:TextType\": " << jsonEscape(t.rec.TextType) << ", \"HOT:ID\": " << t.rec.ID
                     << ", \"state\": " << jsonEscape(st) << "}\n";
        } else {
            c.io.out << t.rec.HotKey << "\t" << st << "\t" << what << "\t" << t.rec.Description << "\n";
        }
    }
    if (!c.json && !state) c.io.err << "qd is not running on this data folder: registration state unknown\n";
    return kOk;
}

int cmdClip(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    if (pos >= args.size()) return c.usage("clip needs list or add");
    if (args[pos] == "add") {
        if (pos + 2 != args.size()) return c.usage("clip add takes one TEXT");
        c.startup->loadSettings({});
        const qd::CaptureOutcome o =
            qd::addClipboardEntry(c.data(), c.startup->settings(), c.now(), args[pos + 1]);
        if (o != qd::CaptureOutcome::Stored) return c.failed(std::string("not stored: ") + qd::toString(o));
        return kOk;
    }
    if (args[pos] != "list") return c.usage("clip needs list or add");
    std::size_t limit = std::numeric_limits<std::size_t>::max();
    for (std::size_t i = pos + 1; i < args.size(); ++i) {
        if (args[i] == "--limit" && i + 1 < args.size()) {
            const std::string& n = args[++i];
            const auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), limit);
            if (n.empty() || ec != std::errc() || end != n.data() + n.size())
                return c.failed("--limit takes a number of entries, not '" + n + "'");
        } else {
            return c.usage("unexpected '" + args[i] + "' after clip list");
        }
    }
    qd::Table<qd::ClipboardRecord> t(c.data(), qd::tables::Clipboard());
    if (t.open() != qd::Level::Benign) return c.failed("the clipboard table cannot be opened");
    t.setOrder(t.def().findKey("KeyClipDate"));
    for (std::size_t n = 0; n < limit && t.tryNext() == qd::Level::Benign; ++n) {
        if (c.json) {
            c.io.out << "{\"CLI:ClipDate\": " << jsonEscape(qd::formatDate(t.rec.ClipDate, "@d10-"))
                     << ", \"CLI:ClipTime\": " << jsonEscape(qd::formatTime(t.rec.ClipTime, "@t4"))
                     << ", \"CLI:Category\": " << jsonEscape(t.rec.Category)
                     << ", \"CLI:ClipKeep\": " << int(t.rec.ClipKeep)
                     << ", \"CLI:ClipHashKey\": " << jsonEscape(t.rec.ClipHashKey)
                     << ", \"CLI:ClipContents\": " << jsonEscape(t.rec.ClipContents) << "}\n";
        } else {
            c.io.out << qd::formatDate(t.rec.ClipDate, "@d10-") << " "
                     << qd::formatTime(t.rec.ClipTime, "@t4") << "\t" << (t.rec.ClipKeep ? "Save" : "-")
                     << "\t" << t.rec.Category << "\t" << oneLine(t.rec.ClipContents) << "\n";
        }
    }
    return kOk;
}

} // namespace qdctl
