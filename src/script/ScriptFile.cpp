#include "script/ScriptFile.h"

#include "data/FileManager.h"
#include "data/IniFile.h"
#include "data/TextWidth.h"
#include "script/ScriptStrings.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qd {

using script::toLong;

namespace {

// The descriptor of an action the file carries; a name cut to the type width
// ("DDE (Dynamic Data Ex") stands for the action whose stored name it begins.
const ActionDescriptor* fileAction(std::string_view type) {
    if (const ActionDescriptor* d = findAction(type)) return d->inFile ? d : nullptr;
    if (type.size() != kExportTypeWidth) return nullptr;
    for (const auto& d : StepActions())
        if (d.inFile && d.name.size() > kExportTypeWidth && d.name.substr(0, kExportTypeWidth) == type)
            return &d;
    return nullptr;
}

std::array<std::string*, 5> columnsOf(ExportRecord& e) {
    return {&e.Field1, &e.Field2, &e.Field3, &e.Field4, &e.Field5};
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
    const std::string_view a = text::trimRight(s.Action);
    const ActionDescriptor* d = findAction(a);
    if (!d || !d->inFile) return std::nullopt;
    ExportRecord e;
    e.Type = fitText(a, kExportTypeWidth);
    const auto columns = columnsOf(e);
    for (std::size_t i = 0; i < columns.size(); ++i)
        *columns[i] = d->fileColumns[i].get(s);
    return e;
}

ImportKind ExportRecordToStep(const ExportRecord& e, ScriptingRecord& s) {
    s = {};
    const std::string_view a = text::trimRight(e.Type);
    if (a.empty() || actionOf(a) == StepAction::Comment) return ImportKind::Skipped;
    const ActionDescriptor* d = fileAction(a);
    if (!d) return ImportKind::Unrecognized;
    // The name as written; a cut name becomes the whole one.
    s.Action = findAction(a) ? std::string(a) : std::string(d->name);
    ExportRecord copy = e;
    const auto columns = columnsOf(copy);
    for (std::size_t i = 0; i < columns.size(); ++i)
        d->fileColumns[i].set(s, *columns[i]);
    fitStepFields(s);
    return ImportKind::Step;
}

void NormaliseImportedStep(ScriptingRecord& s) {
    switch (actionOf(s)) {
    case StepAction::SendKeys:
        s.Action = action::SendKeys;
        break;
    case StepAction::IfWindow:
        s.WindowExistance = text::lowerAscii(s.WindowExistance).find("exists") != std::string::npos
                                ? "Exists"
                                : "Does not exist";
        break;
    case StepAction::IfTimeElapsed:
        s.IfTimeElapsed = text::lowerAscii(s.IfTimeElapsed).find("grea") != std::string::npos ? "Greater than"
                                                                                              : "Less than";
        break;
    case StepAction::Wait: {
        const std::string m = text::upperAscii(text::trimRight(s.DDEApplicationName));
        if (m == "AND" || m == "BOTH")
            s.DDEApplicationName = "Both";
        else if (m == "EITHER")
            s.DDEApplicationName = "Either";
        break;
    }
    default:
        break;
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
        fields.push_back(wasQuoted ? field : std::string(text::trim(field)));
        field.clear();
        wasQuoted = false;
    };
    auto endLine = [&] {
        if (lineHasData) {
            endField();
            ExportRecord e;
            std::string* dest[] = {&e.Type, &e.Field1, &e.Field2, &e.Field3, &e.Field4, &e.Field5, &e.Field6};
            using W = ExportRecord::Width;
            const std::size_t widths[] = {W::Type,   W::Field1, W::Field2, W::Field3,
                                          W::Field4, W::Field5, W::Field6};
            for (std::size_t i = 0; i < 7 && i < fields.size(); ++i)
                *dest[i] = fitText(fields[i], widths[i]);
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
        } else if (c == '"' && text::trim(field).empty() && !wasQuoted) {
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
            std::string a(text::trimRight(e.Type));
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
                          const std::filesystem::path& file, UserInterface* ui, Progress* progress) {
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
    const StepStatus st = AppendScriptSteps(ds, table, id, steps, progress, kImportingStepsTitle);
    if (!st.ok()) {
        r.ok = false;
        r.error = st.error;
        r.cancelled = st.cancelled;
        if (ui && !st.cancelled) ui->message("Error!", "Error adding script item " + r.error);
        return r;
    }
    r.added = static_cast<int>(steps.size());
    return r;
}

ScriptFileStatus ExportScript(DataSet& ds, const TableDef& table, std::int32_t id,
                              const std::filesystem::path& file, UserInterface* ui, Progress* progress) {
    StepsResult steps = LoadScriptSteps(ds, table, id, progress, kExportingStepsTitle);
    if (steps.cancelled) return {false, steps.error};
    ScriptFileStatus st;
    if (!steps.ok())
        st = {false, steps.error};
    else
        st = SaveScriptFile(file, steps.steps);
    if (!st && ui) ui->message("Error!", "Error exporting script item " + st.error);
    return st;
}

} // namespace qd
