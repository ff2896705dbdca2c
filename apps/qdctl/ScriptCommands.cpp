#include "ScriptCommands.h"

#include "MailCommands.h"

#include "FieldValues.h"
#include "TerminalFrame.h"

#include "data/FileManager.h"
#include "data/IniFile.h"
#include "data/Text.h"
#include "runtime/Runtime.h"
#include "script/ScriptEngine.h"
#include "script/ScriptFile.h"
#include "script/ScriptText.h"
#include "script/Templates.h"
#include "script/Values.h"

#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

namespace qdctl {
namespace {

// The variables a run leaves are kept here, so that `vars` can show them later.
constexpr const char* kVariablesFile = "QDVARS.INI";

std::optional<int> parseId(const std::string& text) {
    try {
        std::size_t used = 0;
        const long v = std::stol(text, &used);
        if (used != text.size() || v < 0 || v > INT32_MAX) return std::nullopt;
        return static_cast<int>(v);
    } catch (...) {
        return std::nullopt;
    }
}

bool taskExists(Context& c, int id) {
    qd::Table<qd::ScheduleRecord> sch(c.data(), qd::tables::Schedule());
    if (sch.open() != qd::Level::Benign) return false;
    sch.rec.ID = id;
    return sch.fetch(sch.def().findKey("SCH:KeyID")) == qd::Level::Benign;
}

void saveVariables(Context& c, qd::VariableQueue& vars) {
    qd::IniFile ini(c.data().folder(), kVariablesFile);
    ini.removeSection("Variables");
    for (const auto& v : vars.entries())
        ini.set("Variables", v.NAME, v.STRINGVALUE);
}

void printVariables(Context& c, const std::vector<std::pair<std::string, std::string>>& vars) {
    for (const auto& [name, value] : vars) {
        if (c.json)
            c.io.out << "{\"name\": " << jsonEscape(name) << ", \"value\": " << jsonEscape(value) << "}\n";
        else
            c.io.out << name << "=" << value << "\n";
    }
}

// Runs queued steps by hand, one per tick, until the queue is empty or the limit.
int runQueued(Context& c, qd::Runtime& runtime, long long ticks) {
    qd::ScriptEngine& engine = runtime.scripts();
    engine.tempScriptingActive = true;
    const bool simulated = c.clock != nullptr;
    for (long long n = 0; !engine.queue().empty() && (ticks < 0 || n < ticks); ++n) {
        engine.executeNextStep();
        runtime.launcher().reap();
        if (simulated)
            c.clock->advanceSeconds(1);
        else
            std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    const bool finished = engine.queue().empty();
    saveVariables(c, runtime.values().variables());
    std::vector<std::pair<std::string, std::string>> vars;
    for (const auto& v : runtime.values().variables().entries())
        vars.emplace_back(v.NAME, v.STRINGVALUE);
    c.io.out << "variables:\n";
    printVariables(c, vars);
    runtime.close();
    if (!finished) return c.failed("the script had not finished after " + std::to_string(ticks) + " ticks");
    return kOk;
}

int scriptRun(Context& c, const std::vector<std::string>& args, std::size_t pos, bool fromFile) {
    if (pos >= args.size())
        return c.usage(fromFile ? "script run-file needs a file" : "script run needs a task ID");
    long long ticks = 3600;
    for (std::size_t i = pos + 1; i < args.size(); ++i) {
        if (args[i] == "--ticks" && i + 1 < args.size()) {
            const auto n = parseId(args[++i]);
            if (!n) return c.usage("--ticks needs a number");
            ticks = *n;
        } else {
            return c.usage("unexpected '" + args[i] + "'");
        }
    }
    std::ostream& out = c.io.out;
    bool stop = false;
    TerminalFrame frame(out, c.process, [&stop] { stop = true; });
    const std::unique_ptr<qd::Desktop> desktop = c.openDesktop();
    qd::Runtime runtime(*c.startup, frame, *desktop, c.process, qd::RuntimeOptions{});
    runtime.setMailPassword(mailPasswordSource(c));
    runtime.open();
    runtime.scripts().setObserver([&out](const qd::QueueEntry& e, const std::string& note) {
        out << "step: " << qd::text::trimRight(e.step.Action) << "  " << qd::StepDescription(e.step)
            << (note.empty() ? "" : "  [" + note + "]") << "\n";
    });
    if (fromFile) {
        qd::ScriptFileContent content;
        const auto status = qd::LoadScriptFile(args[pos], content);
        if (!status.ok) return c.failed(status.error);
        qd::ReportUnrecognized(c.ui, content);
        out << "queued " << runtime.scripts().queueSteps(content.steps) << " steps from " << args[pos]
            << "\n";
    } else {
        const auto id = parseId(args[pos]);
        if (!id || !taskExists(c, *id)) return c.failed("no task with ID " + args[pos]);
        runtime.scripts().queueTaskScript(*id, 0);
        out << "queued " << (runtime.scripts().queue().empty() ? 0 : runtime.scripts().queue().size() - 1)
            << " steps of task " << *id << "\n";
    }
    return runQueued(c, runtime, ticks);
}

std::optional<std::string> readAll(const std::string& file, std::istream& in) {
    std::ostringstream s;
    if (file == "-") {
        s << in.rdbuf();
        return s.str();
    }
    std::ifstream f(file, std::ios::binary);
    if (!f) return std::nullopt;
    s << f.rdbuf();
    return s.str();
}

} // namespace

int cmdScript(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    if (pos >= args.size()) return c.usage("script needs a verb");
    const std::string verb = args[pos++];
    if (verb == "run") return scriptRun(c, args, pos, false);
    if (verb == "run-file") return scriptRun(c, args, pos, true);
    if (pos >= args.size()) return c.usage("script " + verb + " needs a task ID");
    const auto id = parseId(args[pos]);
    if (!id || *id == 0) return c.usage("not a task ID: " + args[pos]);
    if (!taskExists(c, *id)) return c.failed("no task with ID " + args[pos]);
    if (verb == "show") {
        c.io.out << qd::ScriptToText(c.data(), *id, c.ui);
        return kOk;
    }
    if (pos + 1 >= args.size()) return c.usage("script " + verb + " needs a file");
    const std::string file = args[pos + 1];
    if (verb == "set") {
        const auto text = readAll(file, c.io.in);
        if (!text) return c.failed("cannot read " + file);
        if (!qd::TextToScript(c.data(), *id, *text, c.ui)) return kFailed;
        c.io.out << "script of task " << *id << " replaced\n";
        return kOk;
    }
    if (verb == "export") {
        const auto status = qd::ExportScript(c.data(), qd::tables::Scripting(), *id, file, &c.ui);
        return status.ok ? kOk : c.failed(status.error);
    }
    if (verb == "import") {
        const auto r = qd::ImportScript(c.data(), qd::tables::Scripting(), *id, file, &c.ui);
        if (!r.ok) return c.failed(r.error);
        c.io.out << "added " << r.added << " steps\n";
        return kOk;
    }
    return c.usage("unknown script verb '" + verb + "'");
}

int cmdVars(Context& c, const std::vector<std::string>&, std::size_t) {
    qd::IniDocument doc;
    if (!qd::IniFile(c.data().folder(), kVariablesFile).load(doc))
        return c.failed("cannot read " + std::string(kVariablesFile));
    std::vector<std::pair<std::string, std::string>> vars;
    for (const auto& [key, value] : doc.entries("Variables"))
        vars.emplace_back(key, value);
    printVariables(c, vars);
    return kOk;
}

int cmdTemplate(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    if (pos >= args.size()) return c.usage("template needs a verb");
    const std::string verb = args[pos++];
    if (verb == "list") {
        qd::Table<qd::ScriptTemplatesRecord> t(c.data(), qd::tables::ScriptTemplates());
        if (t.open() != qd::Level::Benign) return kFailed;
        t.setOrder(0);
        while (t.next() == qd::Level::Benign) {
            if (c.json)
                c.io.out << "{\"QDT:WIZ_ID\": " << t.rec.WIZ_ID
                         << ", \"QDT:Description\": " << jsonEscape(t.rec.Description)
                         << ", \"QDT:DOSFilename\": " << jsonEscape(t.rec.DOSFilename) << "}\n";
            else
                c.io.out << t.rec.WIZ_ID << "  " << t.rec.Description
                         << (t.rec.DOSFilename.empty() ? "" : "  (" + t.rec.DOSFilename + ")") << "\n";
        }
        return kOk;
    }
    if (verb == "copy") {
        if (pos + 1 >= args.size())
            return c.usage("template copy TEMPLATE_ID TASK_ID [--answer PROMPT=VALUE...]");
        const auto templateId = parseId(args[pos]);
        const auto taskId = parseId(args[pos + 1]);
        if (!templateId || !taskId) return c.usage("template copy takes two IDs");
        if (!taskExists(c, *taskId)) return c.failed("no task with ID " + args[pos + 1]);
        for (std::size_t i = pos + 2; i < args.size(); ++i) {
            if (args[i] != "--answer" || i + 1 >= args.size()) return c.usage("unexpected '" + args[i] + "'");
            const std::string& a = args[++i];
            const auto eq = a.find('=');
            if (eq == std::string::npos) return c.usage("--answer takes PROMPT=VALUE");
            c.ui.promptAnswers[a.substr(0, eq)] = a.substr(eq + 1);
        }
        const auto r = qd::CopyScriptTemplateToScript(c.data(), *templateId, *taskId, c.ui);
        if (r.cancelled) return c.failed("the copy was cancelled");
        if (!r.ok) return c.failed(r.error);
        c.io.out << "added " << r.added << " steps to task " << *taskId << "\n";
        return kOk;
    }
    return c.usage("unknown template verb '" + verb + "'");
}

} // namespace qdctl
