#include "ui/MessageLink.h"

#include "data/DataSet.h"
#include "data/FileManager.h"
#include "data/TableDefs.h"

#include <charconv>

namespace qdui {
namespace {

std::string trimmedRight(std::string s) {
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

} // namespace

MessageProgramArgs parseMessageProgramArgs(const std::vector<std::string>& args) {
    MessageProgramArgs a;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& s = args[i];
        if (s.size() > 3 && (s[0] == 'I' || s[0] == 'i') && (s[1] == 'D' || s[1] == 'd') && s[2] == '=') {
            int id = 0;
            const auto [end, ec] = std::from_chars(s.data() + 3, s.data() + s.size(), id);
            if (ec != std::errc() || end != s.data() + s.size() || id <= 0) {
                a.error = "ID= needs a message number, got '" + s.substr(3) + "'";
                return a;
            }
            a.id = id;
        } else if (s == "--data" && i + 1 < args.size() && !args[i + 1].empty()) {
            a.dataDir = args[++i];
        } else {
            a.error = "unexpected '" + s + "'";
            return a;
        }
    }
    if (a.id == 0 && a.error.empty()) a.error = "usage: qdmsg ID=<number> [--data DIR]";
    return a;
}

std::optional<qd::MessageRequest> readMessageLink(qd::DataSet& ds, int id, std::string& error) {
    qd::Table<qd::MsgLinkRecord> link(ds, qd::tables::MsgLink());
    if (link.open() != qd::Level::Benign) {
        error = "The message file cannot be opened.";
        return std::nullopt;
    }
    link.rec = {};
    link.rec.ID = id;
    if (link.fetch("K_ID") != qd::Level::Benign) {
        error =
            "Message " + std::to_string(id) + " was not found: it was shown already or never handed over.";
        return std::nullopt;
    }
    qd::MessageRequest r;
    r.title = trimmedRight(link.rec.Title);
    r.text = trimmedRight(link.rec.Message);
    r.alarmFile = trimmedRight(link.rec.AlarmFile);
    return r;
}

bool deleteMessageLink(qd::DataSet& ds, int id) {
    qd::Table<qd::MsgLinkRecord> link(ds, qd::tables::MsgLink());
    if (link.open() != qd::Level::Benign) return false;
    link.rec = {};
    link.rec.ID = id;
    if (link.fetch("K_ID") != qd::Level::Benign) return false;
    return link.tryDelete() == qd::Level::Benign;
}

} // namespace qdui
