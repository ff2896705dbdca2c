#include "script/ScriptFile.h"

#include "data/FileManager.h"
#include "data/IniFile.h"
#include "script/ScriptStrings.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qd {

using script::fitField;
using script::lower;
using script::rtrim;
using script::toLong;

namespace {

std::string num(std::int32_t v) {
    return std::to_string(v);
}

const std::string& longDdeCut() {
    static const std::string cut(action::DDELong.substr(0, kExportTypeWidth));
    return cut;
}

bool carried(std::string_view a) {
    using namespace action;
    for (std::string_view k :
         {CloseProgram, StartProgram, DisplayMessage, SendKeystrokes, SendKeys, DDELong, DDE, SetFocus, Wait,
          IfWindow, IfTimeElapsed, EndIf, ExitScript, FileActions, SendEmail, SetValue, IfValue, StartScript})
        if (a == k) return true;
    return false;
}

void quoteField(std::string& out, std::string_view v) {
    out += '"';
    for (char c : v) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

} // namespace

std::optional<ExportRecord> StepToExportRecord(const ScriptingRecord& s) {
    using namespace action;
    const std::string_view a = rtrim(s.Action);
    if (!carried(a)) return std::nullopt;
    ExportRecord e;
    e.Type = fitField(a, kExportTypeWidth);
    if (a == CloseProgram) {
        e.Field1 = s.Command;
        e.Field2 = s.Path;
    } else if (a == StartProgram) {
        e.Field1 = s.Command;
        e.Field2 = s.Path;
        e.Field3 = s.DDEApplicationName;
        e.Field4 = num(s.TimeElapsed);
    } else if (a == DisplayMessage) {
        e.Field1 = s.DDEApplicationName;
        e.Field2 = s.DDEApplicationTopic;
        e.Field3 = num(s.SecondsToWait);
        e.Field4 = s.FocusOnWindow;
    } else if (a == SendKeystrokes || a == SendKeys) {
        e.Field1 = s.Keystrokes;
    } else if (a == DDELong || a == DDE) {
        e.Field1 = s.DDEType;
        e.Field2 = s.DDEApplicationName;
        e.Field3 = s.DDEApplicationTopic;
        e.Field4 = s.DDELinkItem;
        e.Field5 = s.DDECommand;
    } else if (a == SetFocus) {
        e.Field1 = s.FocusOnWindow;
        e.Field2 = s.WaitForWindow;
    } else if (a == Wait) {
        e.Field1 = num(s.SecondsToWait);
        e.Field2 = s.WaitForWindow;
        e.Field3 = s.DDEApplicationName;
        e.Field4 = s.FocusOnWindow;
    } else if (a == IfWindow) {
        e.Field1 = s.WindowExistance;
        e.Field2 = s.WindowTitleToCheckFor;
        e.Field3 = s.FocusOnWindow;
    } else if (a == IfTimeElapsed) {
        e.Field1 = s.IfTimeElapsed;
        e.Field2 = num(s.TimeElapsed);
    } else if (a == FileActions) {
        e.Field1 = s.DDEType;
        e.Field2 = s.Command;
        e.Field3 = s.Path;
        e.Field4 = s.DDEApplicationName;
        e.Field5 = s.DDEApplicationTopic;
    } else if (a == SendEmail) {
        e.Field1 = num(s.EmailID);
    } else if (a == SetValue) {
        e.Field1 = s.Path;
        e.Field2 = s.Command;
    } else if (a == IfValue) {
        e.Field1 = s.Command;
        e.Field2 = s.WindowTitleToCheckFor;
        e.Field3 = s.WaitForWindow;
    } else if (a == StartScript) {
        e.Field1 = s.Command;
        e.Field2 = s.Path;
    }
    return e;
}

ImportKind ExportRecordToStep(const ExportRecord& e, ScriptingRecord& s) {
    using namespace action;
    s = {};
    std::string a(rtrim(e.Type));
    if (a.empty() || a == Comment) return ImportKind::Skipped;
    if (a == longDdeCut()) a = DDELong;
    if (!carried(a)) return ImportKind::Unrecognized;
    s.Action = a;
    if (a == CloseProgram) {
        s.Command = e.Field1;
        s.Path = e.Field2;
    } else if (a == StartProgram) {
        s.Command = e.Field1;
        s.Path = e.Field2;
        s.DDEApplicationName = e.Field3;
        s.TimeElapsed = toLong(e.Field4);
    } else if (a == DisplayMessage) {
        s.DDEApplicationName = e.Field1;
        s.DDEApplicationTopic = e.Field2;
        s.SecondsToWait = toLong(e.Field3);
        s.FocusOnWindow = e.Field4;
    } else if (a == SendKeystrokes || a == SendKeys) {
        s.Keystrokes = e.Field1;
    } else if (a == DDELong || a == DDE) {
        s.DDEType = e.Field1;
        s.DDEApplicationName = e.Field2;
        s.DDEApplicationTopic = e.Field3;
        s.DDELinkItem = e.Field4;
        s.DDECommand = e.Field5;
    } else if (a == SetFocus) {
        s.FocusOnWindow = e.Field1;
        s.WaitForWindow = e.Field2;
    } else if (a == Wait) {
        s.SecondsToWait = toLong(e.Field1);
        s.WaitForWindow = e.Field2;
        s.DDEApplicationName = e.Field3;
        s.FocusOnWindow = e.Field4;
    } else if (a == IfWindow) {
        s.WindowExistance = e.Field1;
        s.WindowTitleToCheckFor = e.Field2;
        s.FocusOnWindow = e.Field3;
    } else if (a == IfTimeElapsed) {
        s.IfTimeElapsed = e.Field1;
        s.TimeElapsed = toLong(e.Field2);
    } else if (a == FileActions) {
        s.DDEType = e.Field1;
        s.Command = e.Field2;
        s.Path = e.Field3;
        s.DDEApplicationName = e.Field4;
        s.DDEApplicationTopic = e.Field5;
    } else if (a == SendEmail) {
        s.EmailID = toLong(e.Field1);
    } else if (a == SetValue) {
        s.Path = e.Field1;
        s.Command = e.Field2;
    } else if (a == IfValue) {
        s.Command = e.Field1;
        s.WindowTitleToCheckFor = e.Field2;
        s.WaitForWindow = e.Field3;
    } else if (a == StartScript) {
        s.Command = e.Field1;
        s.Path = e.Field2;
    }
    fitStepFields(s);
    return ImportKind::Step;
}

void NormaliseImportedStep(ScriptingRecord& s) {
    using namespace action;
    const std::string_view a = rtrim(s.Action);
    if (a == SendKeystrokes) {
        s.Action = SendKeys;
    } else if (a == IfWindow) {
        s.WindowExistance =
            lower(s.WindowExistance).find("exists") != std::string::npos ? "Exists" : "Does not exist";
    } else if (a == IfTimeElapsed) {
        s.IfTimeElapsed =
            lower(s.IfTimeElapsed).find("grea") != std::string::npos ? "Greater than" : "Less than";
    } else if (a == Wait) {
        const std::string m = script::upper(rtrim(s.DDEApplicationName));
        if (m == "AND" || m == "BOTH")
            s.DDEApplicationName = "Both";
        else if (m == "EITHER")
            s.DDEApplicationName = "Either";
    }
}

std::string WriteScriptFileText(const std::vector<ScriptingRecord>& steps) {
    std::string out;
    for (const auto& s : steps) {
        auto e = StepToExportRecord(s);
        if (!e) continue;
        for (const std::string* f :
             {&e->Type, &e->Field1, &e->Field2, &e->Field3, &e->Field4, &e->Field5, &e->Field6}) {
            if (f != &e->Type) out += ',';
            quoteField(out, *f);
        }
        out += "\r\n";
    }
    return out;
}

namespace {

// Calls `line` for each line of a script file's text, fields without trailing
// blanks; stops early when it returns false.
template <class F> void forEachExportLine(std::string_view text, F&& line) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;      // inside quotes
    bool wasQuoted = false;   // the current field began with a quote
    bool lineHasData = false; // anything seen on this line
    bool go = true;
    auto endField = [&] {
        fields.push_back(wasQuoted ? field : std::string(script::trim(field)));
        field.clear();
        wasQuoted = false;
    };
    auto endLine = [&] {
        if (lineHasData) {
            endField();
            ExportRecord e;
            std::string* dest[] = {&e.Type, &e.Field1, &e.Field2, &e.Field3, &e.Field4, &e.Field5, &e.Field6};
            const std::size_t widths[] = {kExportTypeWidth, 255, 255, 255, 255, 255, 255};
            for (std::size_t i = 0; i < 7 && i < fields.size(); ++i)
                *dest[i] = fitField(fields[i], widths[i]);
            go = line(e);
        }
        fields.clear();
        field.clear();
        wasQuoted = false;
        lineHasData = false;
    };
    for (std::size_t i = 0; go && i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == '\r' || c == '\n') {
            endLine();
            continue;
        }
        lineHasData = true;
        if (c == ',') {
            // Fields beyond the seventh are dropped as they end.
            if (fields.size() < 7) {
                endField();
            } else {
                field.clear();
                wasQuoted = false;
            }
        } else if (c == '"' && script::trim(field).empty() && !wasQuoted) {
            field.clear();
            quoted = true;
            wasQuoted = true;
        } else if (!wasQuoted) {
            field += c;
        }
        // characters after a closing quote and before the comma are ignored
    }
    if (go) endLine();
}

// The most distinct unrecognised actions a report names.
constexpr std::size_t kListedUnrecognized = 5;

} // namespace

std::vector<ExportRecord> ParseExportLines(std::string_view text) {
    std::vector<ExportRecord> lines;
    forEachExportLine(text, [&](ExportRecord& e) {
        lines.push_back(std::move(e));
        return true;
    });
    return lines;
}

ScriptFileContent ParseScriptFileText(std::string_view text) {
    ScriptFileContent c;
    forEachExportLine(text, [&](const ExportRecord& e) {
        ScriptingRecord s;
        switch (ExportRecordToStep(e, s)) {
        case ImportKind::Step:
            if (c.steps.size() >= kMaxScriptFileSteps) {
                c.tooManySteps = true;
                return false;
            }
            NormaliseImportedStep(s);
            s.Sequence = static_cast<std::int32_t>(c.steps.size() + 1);
            c.steps.push_back(std::move(s));
            break;
        case ImportKind::Unrecognized: {
            ++c.unrecognizedLines;
            std::string a(rtrim(e.Type));
            if (std::find(c.unrecognized.begin(), c.unrecognized.end(), a) == c.unrecognized.end()) {
                if (c.unrecognized.size() < kListedUnrecognized)
                    c.unrecognized.push_back(std::move(a));
                else
                    c.moreUnrecognized = true;
            }
            break;
        }
        case ImportKind::Skipped:
            break;
        }
        return true;
    });
    return c;
}

ScriptFileStatus SaveScriptFile(const std::filesystem::path& file,
                                const std::vector<ScriptingRecord>& steps) {
    // Owner only: FTP steps carry their password.
    const IniStatus st = ReplaceFileAtomically(file, WriteScriptFileText(steps), 0600);
    if (!st) return {false, st.message};
    return {};
}

ScriptFileStatus ReadScriptFileText(const std::filesystem::path& file, std::string& text) {
    text.clear();
    // Non-blocking, so that a FIFO or a device cannot hold the caller; only a
    // regular file is read.
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return {false, "Cannot open " + file.string() + ": " + std::strerror(errno)};
    struct stat st {};
    ScriptFileStatus status;
    if (::fstat(fd, &st) != 0) {
        status = {false, "Cannot read " + file.string() + ": " + std::strerror(errno)};
    } else if (!S_ISREG(st.st_mode)) {
        status = {false, "Cannot read " + file.string() + ": not a regular file"};
    } else if (static_cast<std::uintmax_t>(st.st_size) > kMaxScriptFileBytes) {
        status = {false, "Cannot read " + file.string() + ": larger than the 16 MB a script file may have"};
    } else {
        text.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        for (;;) {
            // One byte more than the file had, to see whether it grew past the limit.
            if (done == text.size()) text.resize(std::min(done + 65536, kMaxScriptFileBytes + 1));
            if (done == text.size()) break;
            const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                status = {false, "Cannot read " + file.string() + ": " + std::strerror(errno)};
                break;
            }
            if (n == 0) break;
            done += static_cast<std::size_t>(n);
        }
        text.resize(done);
        if (status.ok && done > kMaxScriptFileBytes)
            status = {false,
                      "Cannot read " + file.string() + ": larger than the 16 MB a script file may have"};
    }
    ::close(fd);
    if (!status.ok) text.clear();
    return status;
}

ScriptFileStatus LoadScriptFile(const std::filesystem::path& file, ScriptFileContent& content) {
    std::string text;
    if (ScriptFileStatus st = ReadScriptFileText(file, text); !st) return st;
    content = ParseScriptFileText(text);
    if (content.tooManySteps) {
        content = {};
        return {false, "Cannot read " + file.string() + ": more than " + std::to_string(kMaxScriptFileSteps) +
                           " steps"};
    }
    return {};
}

std::string UnrecognizedReport(const ScriptFileContent& content) {
    if (content.unrecognizedLines == 0) return {};
    std::string text = "Unrecognized script action: ";
    for (std::size_t i = 0; i < content.unrecognized.size(); ++i)
        text += (i ? ", " : "") + content.unrecognized[i];
    if (content.unrecognizedLines > content.unrecognized.size()) {
        if (content.moreUnrecognized) text += ", ...";
        text += " (" + std::to_string(content.unrecognizedLines) + " lines left out)";
    }
    return text;
}

void ReportUnrecognized(UserInterface& ui, const ScriptFileContent& content) {
    if (content.unrecognizedLines > 0) ui.message("Import Error", UnrecognizedReport(content));
}

ImportResult ImportScript(DataSet& ds, const TableDef& table, std::int32_t id,
                          const std::filesystem::path& file, UserInterface* ui) {
    ImportResult r;
    ScriptFileContent content;
    if (ScriptFileStatus st = LoadScriptFile(file, content); !st) {
        r.ok = false;
        r.error = st.error;
        return r;
    }
    if (ui) ReportUnrecognized(*ui, content);
    // All steps in one transaction: a failure adds none of them.
    std::vector<ScriptingRecord> steps = std::move(content.steps);
    for (auto& s : steps)
        s.Sequence = 0; // numbered after the highest in use
    const StepStatus st = AppendScriptSteps(ds, table, id, steps);
    if (!st.ok()) {
        r.ok = false;
        r.error = st.error;
        if (ui) ui->message("Error!", "Error adding script item " + r.error);
        return r;
    }
    r.added = static_cast<int>(steps.size());
    return r;
}

ScriptFileStatus ExportScript(DataSet& ds, const TableDef& table, std::int32_t id,
                              const std::filesystem::path& file, UserInterface* ui) {
    StepsResult steps = LoadScriptSteps(ds, table, id);
    ScriptFileStatus st;
    if (!steps.ok())
        st = {false, steps.error};
    else
        st = SaveScriptFile(file, steps.steps);
    if (!st && ui) ui->message("Error!", "Error exporting script item " + st.error);
    return st;
}

} // namespace qd
