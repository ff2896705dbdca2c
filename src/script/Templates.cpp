#include "script/Templates.h"

#include "data/FileManager.h"
#include "data/Pictures.h"
#include "data/StoreTransaction.h"
#include "data/TextWidth.h"
#include "script/ScriptStrings.h"
#include "script/WindowTargeting.h"

#include <algorithm>

namespace qd {

namespace {
constexpr std::size_t kPromptWidth = 45;
constexpr std::size_t kValueWidth = 255;
constexpr std::size_t kKindWidth = 10;
constexpr std::int32_t kSequenceLimit = 1000;
} // namespace

// ---- TokenQueue ----

std::string TokenQueue::keyOf(std::string_view prompt) {
    return fitText(text::upperAscii(text::trimRight(prompt)), kPromptWidth);
}

std::optional<TokenEntry> TokenQueue::find(std::string_view prompt) const {
    const std::string key = keyOf(prompt);
    std::lock_guard lock(mutex_);
    for (const auto& e : entries_)
        if (e.PROMPT == key) return e;
    return std::nullopt;
}

void TokenQueue::set(std::string_view kind, std::string_view prompt, std::string_view value) {
    TokenEntry e{fitText(kind, kKindWidth), keyOf(prompt), fitText(value, kValueWidth)};
    std::lock_guard lock(mutex_);
    for (auto& existing : entries_)
        if (existing.PROMPT == e.PROMPT) {
            existing = std::move(e);
            return;
        }
    entries_.push_back(std::move(e));
}

std::vector<TokenEntry> TokenQueue::entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

void TokenQueue::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

TokenQueue& TOKENQUEUE() {
    static TokenQueue q;
    return q;
}

// ---- prompts ----

std::optional<std::string> TemplatePrompter::ask(PromptRequest request, const std::string& kind,
                                                 const std::string& prompt) {
    request.label = prompt + ":";
    if (auto previous = tokens_.find(prompt)) request.initial = previous->VALUE;
    auto answer = ui_.prompt(request);
    if (!answer) return std::nullopt;
    tokens_.set(kind, prompt, *answer);
    return std::string(text::trimRight(*answer));
}

std::optional<std::string> TemplatePrompter::TemplateTokenAskText(const std::string& prompt) {
    PromptRequest r;
    r.kind = PromptKind::Text;
    r.title = "Script Template";
    return ask(std::move(r), "TEXT", prompt);
}

std::optional<std::string> TemplatePrompter::TemplateTokenAskFile(const std::string& prompt) {
    PromptRequest r;
    r.kind = PromptKind::File;
    r.title = "Choose a File";
    r.filter = "All Files|*.*";
    return ask(std::move(r), "FILE", prompt);
}

std::optional<std::string> TemplatePrompter::TemplateTokenAskWindow(const std::string& prompt) {
    PromptRequest r;
    r.kind = PromptKind::Choice;
    r.title = "Choose a Window";
    if (windows_)
        for (const auto& w : windows_->ListWindows())
            r.choices.push_back(w.text);
    return ask(std::move(r), "WINDOW", prompt);
}

// ---- resolution ----

bool TokenResolver::resolve(std::string& field) {
    if (field.find("[?") == std::string::npos) return true;
    std::string out;
    std::string_view rest = field;
    for (std::size_t pos; (pos = rest.find("[?")) != std::string_view::npos;) {
        out += rest.substr(0, pos);
        const std::string_view r = text::trimLeft(rest.substr(pos + 2));
        const std::size_t close = r.find(']');
        if (close == std::string_view::npos) { // no "]": the rest stays as written
            out += rest.substr(pos);
            rest = {};
            break;
        }
        const std::string_view body = r.substr(0, close);
        std::optional<std::string> answer;
        if (close == 0) {
            answer = last_;
        } else {
            const std::size_t blank = body.find(' ');
            const std::string word = text::upperAscii(body.substr(0, blank));
            if (word == "FILE" || word == "WINDOW" || word == "TEXT") {
                std::string prompt(blank == std::string_view::npos ? std::string_view()
                                                                   : text::trim(body.substr(blank)));
                if (prompt.empty()) prompt = word;
                answer = word == "FILE"     ? prompter_.TemplateTokenAskFile(prompt)
                         : word == "WINDOW" ? prompter_.TemplateTokenAskWindow(prompt)
                                            : prompter_.TemplateTokenAskText(prompt);
            } else {
                const std::string prompt(text::trimRight(body));
                const std::string key = TokenQueue::keyOf(prompt);
                auto known = answeredHere_.count(key) ? prompter_.tokens().find(prompt) : std::nullopt;
                if (known) {
                    answer = std::string(text::trimRight(known->VALUE));
                } else {
                    answer = prompter_.TemplateTokenAskText(prompt);
                    if (answer) answeredHere_.insert(key);
                }
            }
        }
        if (!answer) return false;
        last_ = *answer;
        out += text::trimRight(*answer);
        rest = r.substr(close + 1); // scanning goes on after the answer
    }
    out += rest;
    field = std::move(out);
    return true;
}

bool TokenResolver::resolveStep(ScriptingRecord& s) {
    for (std::string* f :
         {&s.Keystrokes, &s.WaitForWindow, &s.FocusOnWindow, &s.WindowTitleToCheckFor, &s.Command, &s.Path,
          &s.DDEApplicationName, &s.DDEApplicationTopic, &s.DDELinkItem, &s.DDECommand})
        if (!resolve(*f)) return false;
    fitStepFields(s);
    return true;
}

std::string FolderOfCommand(std::string_view command) {
    const std::size_t p = command.find_last_of("/\\");
    if (p == std::string_view::npos) return {};
    return std::string(command.substr(0, p));
}

TemplateCopyResult CopyScriptTemplateToScript(DataSet& ds, std::int32_t templateId, std::int32_t taskId,
                                              UserInterface& ui, WindowTargeting* windows, TokenQueue& tokens,
                                              Progress* progress) {
    TemplateCopyResult result;
    StepsResult source = LoadScriptSteps(ds, tables::ScriptTemplateDetails(), templateId);
    if (!source.ok()) {
        result.ok = false;
        result.error = source.error;
        return result;
    }
    StepsResult existing = LoadScriptSteps(ds, tables::Scripting(), taskId);
    if (!existing.ok()) {
        result.ok = false;
        result.error = existing.error;
        return result;
    }
    std::set<std::int32_t> taken;
    std::int32_t next = 1;
    for (const auto& s : existing.steps) {
        taken.insert(s.Sequence);
        next = std::max(next, s.Sequence + 1);
    }

    // Every prompt is answered first; the steps are then written in one
    // transaction (a cancelled prompt keeps the steps resolved before it).
    TemplatePrompter prompter(ui, tokens, windows);
    TokenResolver resolver(prompter);
    std::vector<ScriptingRecord> resolved;
    for (const auto& templateStep : source.steps) {
        if (text::trimRight(templateStep.Action).empty()) continue;
        ScriptingRecord s = templateStep;
        s.ID = taskId;
        if (!resolver.resolveStep(s)) {
            result.cancelled = true;
            break;
        }
        if (text::trimRight(s.Action) == action::StartProgram && text::trimRight(s.Path).empty())
            s.Path = FolderOfCommand(s.Command);
        while (taken.count(next) && next < kSequenceLimit)
            ++next;
        s.Sequence = next;
        taken.insert(next);
        resolved.push_back(std::move(s));
        ++next;
    }
    if (const StepStatus st =
            AppendScriptSteps(ds, tables::Scripting(), taskId, resolved, progress, kCopyingTemplateTitle);
        !st.ok()) {
        if (st.cancelled) {
            result.cancelled = true;
            return result;
        }
        result.ok = false;
        result.error = st.error;
        ui.message("Error!", "Error adding script item " + result.error);
        return result;
    }
    result.added = static_cast<int>(resolved.size());
    return result;
}

StepStatus DeleteScriptTemplateDetails(DataSet& ds, std::int32_t templateId) {
    return DeleteScriptSteps(ds, tables::ScriptTemplateDetails(), templateId);
}

StepStatus DeleteScriptTemplate(DataSet& ds, std::int32_t templateId) {
    Table<ScriptTemplatesRecord> t(ds, tables::ScriptTemplates());
    if (t.open() != Level::Benign) return {Level::Notify, t.lastError().text};
    // The template and its steps share a file: one transaction holds both.
    StoreTransaction tx(t);
    if (!tx.started()) return {Level::Notify, t.lastError().text};
    if (StepStatus st = DeleteScriptSteps(ds, tables::ScriptTemplateDetails(), templateId); !st.ok())
        return st;
    t.rec = {};
    t.rec.WIZ_ID = templateId;
    if (const Level l = t.fetch("QDT:K_WIZ_ID"); l == Level::Benign) {
        if (t.tryDelete() != Level::Benign) return {Level::Notify, t.lastError().text};
    } else if (t.lastError().code != kStoreNotFound) {
        return {Level::Notify, t.lastError().text}; // a failed read: the steps stay too
    }
    if (tx.commit() != Level::Benign) return {Level::Notify, "The deletion could not be committed"};
    return {};
}

ScriptFileStatus ExportScriptTemplate(DataSet& ds, std::int32_t templateId, const std::filesystem::path& file,
                                      UserInterface* ui, Progress* progress) {
    ScriptFileStatus st = ExportScript(ds, tables::ScriptTemplateDetails(), templateId, file, ui, progress);
    if (!st) return st;
    Table<ScriptTemplatesRecord> t(ds, tables::ScriptTemplates());
    if (t.open() != Level::Benign) return {false, t.lastError().text};
    t.rec.WIZ_ID = templateId;
    if (t.fetch("QDT:K_WIZ_ID") == Level::Benign) {
        t.rec.DOSFilename = file.string();
        if (t.tryUpdate() != Level::Benign) st = {false, t.lastError().text};
    }
    t.close();
    return st;
}

TemplateImportResult ImportScriptTemplate(DataSet& ds, const std::filesystem::path& file,
                                          const std::string& description, UserInterface* ui,
                                          Progress* progress) {
    TemplateImportResult r;
    ScriptFileContent content;
    if (ScriptFileStatus st = LoadScriptFile(file, content); !st) {
        r.ok = false;
        r.error = st.error;
        return r;
    }
    Table<ScriptTemplatesRecord> t(ds, tables::ScriptTemplates());
    if (t.open() != Level::Benign) {
        r.ok = false;
        r.error = t.lastError().text;
        return r;
    }
    // The template and its steps in one transaction (they share a file).
    StoreTransaction tx(t);
    if (!tx.started()) {
        r.ok = false;
        r.error = t.lastError().text;
        return r;
    }
    t.rec = {};
    t.rec.Description = text::trimRight(description).empty() ? file.stem().string()
                                                             : std::string(text::trimRight(description));
    t.rec.DOSFilename = file.string();
    t.rec.Description = fitText(t.rec.Description, ScriptTemplatesRecord::Width::Description);
    t.rec.DOSFilename = fitText(t.rec.DOSFilename, ScriptTemplatesRecord::Width::DOSFilename);
    if (t.tryInsert() != Level::Benign) {
        r.ok = false;
        r.error = t.lastError().text;
        return r;
    }
    const std::int32_t id = t.rec.WIZ_ID;
    std::vector<ScriptingRecord> steps = std::move(content.steps);
    for (auto& s : steps)
        s.Sequence = 0; // numbered in file order
    const StepStatus st =
        AppendScriptSteps(ds, tables::ScriptTemplateDetails(), id, steps, progress, kImportingStepsTitle);
    if (!st.ok()) {
        r.ok = false;
        r.error = st.error;
        r.cancelled = st.cancelled;
        return r;
    }
    if (tx.commit() != Level::Benign) {
        r.ok = false;
        r.error = "The template could not be committed";
        return r;
    }
    if (ui) ReportUnrecognized(*ui, content);
    r.templateId = id;
    r.added = static_cast<int>(steps.size());
    return r;
}

} // namespace qd
