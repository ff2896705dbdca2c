// log show: the event log's lines, oldest first.
#include "ConfigCommands.h"

#include "FieldValues.h"

#include "data/EventLog.h"

#include <charconv>
#include <limits>

namespace qdctl {
namespace {

std::string trimmedLine(const std::string& line) {
    std::size_t end = line.size();
    while (end > 0 && (line[end - 1] == ' ' || line[end - 1] == '\r'))
        --end;
    return line.substr(0, end);
}

} // namespace

int cmdLog(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    if (pos >= args.size() || args[pos] != "show") return c.usage("log needs show");
    std::size_t count = std::numeric_limits<std::size_t>::max();
    for (std::size_t i = pos + 1; i < args.size(); ++i) {
        if (args[i] == "--tail" && i + 1 < args.size()) {
            const std::string& n = args[++i];
            std::size_t v = 0;
            const auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), v);
            if (n.empty() || ec != std::errc() || end != n.data() + n.size())
                return c.failed("--tail takes a number of lines, not '" + n + "'");
            count = v;
        } else {
            return c.usage("unexpected '" + args[i] + "' after log show");
        }
    }
    const qd::LogTail tail = qd::readLogTail(c.data().folder(), count);
    if (!tail.status) return c.failed(tail.status.message);
    for (const std::string& line : tail.lines) {
        if (!c.json) {
            c.io.out << trimmedLine(line) << "\n";
            continue;
        }
        const qd::QD_LOGRecord r = qd::parseLogLine(line);
        c.io.out << "{\"QDL:LogDate\": " << jsonEscape(r.LogDate)
                 << ", \"QDL:LogTime\": " << jsonEscape(r.LogTime)
                 << ", \"QDL:LogLabel\": " << jsonEscape(r.LogLabel)
                 << ", \"QDL:LogData\": " << jsonEscape(r.LogData) << "}\n";
    }
    return kOk;
}

} // namespace qdctl
