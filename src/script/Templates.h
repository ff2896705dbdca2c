// Script templates: named step lists (tables ScriptTemplates and
// ScriptTemplateDetails) copied into a task's script, with tokens that ask the
// user for a value while the copy runs.
//
// Tokens in a template step's text fields:
//   "[?Server]"             ask for a text; the answer is reused for every
//                           "[?Server]" of the same copy (any case)
//   "[?TEXT Your name]"     ask for a text (always asks; "[?TEXT]" asks "TEXT")
//   "[?FILE Config file]"   ask for a file name ("[?FILE]" asks "FILE")
//   "[?WINDOW Editor]"      ask to pick one of the current window titles
//   "[?]"                   the answer of the most recent token
// Each prompt starts with the previous answer to the same prompt of this
// program run (TOKENQUEUE) and stores its answer there. Cancelling a prompt
// ends the copy; the steps already added stay. A token without its "]" stays
// as written.
#pragma once

#include "data/DataSet.h"
#include "data/Records.h"
#include "data/UserInterface.h"
#include "script/ScriptFile.h"
#include "script/ScriptSteps.h"

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

class WindowTargeting;

// One answered prompt.
struct TokenEntry {
    std::string KEY;    // the prompt's kind: "TEXT", "FILE" or "WINDOW" (10 characters)
    std::string PROMPT; // upper case, 45 characters: the list's key
    std::string VALUE;  // the answer, 255 characters
};

// The answers of the program run.
class TokenQueue {
public:
    std::optional<TokenEntry> find(std::string_view prompt) const;
    void set(std::string_view kind, std::string_view prompt, std::string_view value);
    std::vector<TokenEntry> entries() const;
    void clear();
    static std::string keyOf(std::string_view prompt);

private:
    mutable std::mutex mutex_;
    std::vector<TokenEntry> entries_;
};

TokenQueue& TOKENQUEUE();

// The three prompt windows, through the user interface.
class TemplatePrompter {
public:
    TemplatePrompter(UserInterface& ui, TokenQueue& tokens, WindowTargeting* windows = nullptr)
        : ui_(ui), tokens_(tokens), windows_(windows) {}

    // Each asks with the previous answer as the start value, stores the answer
    // in the token list and returns it; nullopt when the user cancels.
    std::optional<std::string> TemplateTokenAskText(const std::string& prompt);
    std::optional<std::string> TemplateTokenAskFile(const std::string& prompt);
    std::optional<std::string> TemplateTokenAskWindow(const std::string& prompt);

    TokenQueue& tokens() { return tokens_; }

private:
    std::optional<std::string> ask(PromptRequest request, const std::string& kind, const std::string& prompt);

    UserInterface& ui_;
    TokenQueue& tokens_;
    WindowTargeting* windows_;
};

// Resolves the tokens of the fields of one copy.
class TokenResolver {
public:
    explicit TokenResolver(TemplatePrompter& prompter) : prompter_(prompter) {}
    // Replaces every token of the field; false when a prompt was cancelled.
    bool resolve(std::string& field);
    // All text fields of a step, in the copy's order; false when cancelled.
    bool resolveStep(ScriptingRecord& step);

private:
    TemplatePrompter& prompter_;
    std::string last_;                   // answer of the most recent token
    std::set<std::string> answeredHere_; // plain prompts answered in this copy
};

struct TemplateCopyResult {
    int added = 0;
    bool cancelled = false;
    bool ok = true; // false when a step could not be added
    std::string error;
};

// CopyScriptTemplateToScript: appends the steps of template `templateId` to
// the script of task `taskId`, numbered after the task's highest step,
// resolving tokens. Steps with a blank action are skipped. A "Start Program"
// step without a folder gets the command up to its last "/" or "\" (none
// when the command has no folder part). The steps are written in one
// transaction: a failed add shows "Error adding script item " and the error
// text (title "Error!") and adds none of them; so does a cancel of the
// progress window (when one is given: the writing runs behind it).
TemplateCopyResult CopyScriptTemplateToScript(DataSet& ds, std::int32_t templateId, std::int32_t taskId,
                                              UserInterface& ui, WindowTargeting* windows = nullptr,
                                              TokenQueue& tokens = TOKENQUEUE(),
                                              Progress* progress = nullptr);

// The work named in the progress window of a template copy.
inline constexpr const char* kCopyingTemplateTitle = "Copying the template's script items";

// The folder a template's "Start Program" step gets when it has none.
std::string FolderOfCommand(std::string_view command);

// DeleteScriptTemplateDetails: deletes every step of a template.
StepStatus DeleteScriptTemplateDetails(DataSet& ds, std::int32_t templateId);

// Deletes a template and its steps in one transaction: either both go or both
// stay. A template that is no longer there is not an error.
StepStatus DeleteScriptTemplate(DataSet& ds, std::int32_t templateId);

// Writes a template's steps to a script file and records the file in the
// template's QDT:DOSFilename (not when the export was cancelled).
ScriptFileStatus ExportScriptTemplate(DataSet& ds, std::int32_t templateId, const std::filesystem::path& file,
                                      UserInterface* ui, Progress* progress = nullptr);

struct TemplateImportResult {
    bool ok = true;
    std::string error;
    std::int32_t templateId = 0; // 0 unless the template was made
    int added = 0;
    bool cancelled = false;
};

// Makes a new template from a script file: description `description` (the
// file's name without extension when blank; it must not be in use yet),
// QDT:DOSFilename = the file, and the file's steps. The template and its steps
// are written in one transaction: a failure or a cancel of the progress
// window leaves no template behind. Unrecognised actions are reported through
// `ui`; failures only in the result.
TemplateImportResult ImportScriptTemplate(DataSet& ds, const std::filesystem::path& file,
                                          const std::string& description, UserInterface* ui,
                                          Progress* progress = nullptr);

} // namespace qd
