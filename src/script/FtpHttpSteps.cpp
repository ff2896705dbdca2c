#include "script/FtpHttpSteps.h"

#include "data/Text.h"
#include "data/TextWidth.h"
#include "platform/CommandLine.h"
#include "remote/ExitCodes.h"
#include "script/ScriptSteps.h"
#include "script/Values.h"

namespace qd {

namespace fs = std::filesystem;

namespace {

// "qdftp" or "httpget" when the word names that program, else empty.
std::string transferProgram(std::string_view word) {
    std::string name = text::upperAscii(fs::path(std::string(word)).filename().string());
    if (name.size() > 4 && name.substr(name.size() - 4) == ".EXE") name.resize(name.size() - 4);
    if (name == "QDFTP") return "qdftp";
    if (name == "HTTPGET") return "httpget";
    return {};
}

} // namespace

FtpLogin ftpLoginOf(std::string_view topic) {
    const std::string_view user = cutText(topic, kFtpUserWidth);
    return {std::string(text::trimRight(user)), std::string(topic.substr(user.size()))};
}

std::string ftpTopic(std::string_view user, std::string_view password) {
    std::string topic(cutText(user, kFtpUserWidth));
    if (!password.empty()) topic.append(kFtpUserWidth - characterCount(topic), ' ').append(password);
    return topic;
}

bool IsTransferOperation(std::string_view op) {
    op = text::trimRight(op);
    return op == "FTP Upload" || op == "FTP Download" || op == "HTTP Download";
}

std::string QuoteTransferArgument(std::string_view value) {
    std::string_view x = text::trimRight(value);
    if (x.size() >= 2 && x.front() == '"' && x.back() == '"') x = x.substr(1, x.size() - 2);
    x = text::trimRight(x);
    // Paths and values with blanks are always shown quoted; anything else only
    // when the command-line splitter needs it (tabs, quote characters, empty).
    if (x.find_first_of(" /\\") != std::string_view::npos) return quoteCommandArgument(text::trim(x), true);
    return quoteCommandArgument(x);
}

std::optional<ScriptingRecord> RewriteTransferStep(const ScriptingRecord& step) {
    if (text::trimRight(step.Action) != action::FileActions || !IsTransferOperation(step.DDEType))
        return std::nullopt;
    const std::string op(text::trimRight(step.DDEType));
    const FtpLogin login = ftpLoginOf(step.DDEApplicationTopic);
    const std::string& user = login.user;
    const std::string& password = login.password;
    const auto q = QuoteTransferArgument;
    ScriptingRecord r = step;
    r.Action = action::StartProgram;
    if (op == "FTP Upload")
        r.Command = "QDFTP U " + q(step.Command) + " " + q(step.Path) + " " + q(step.DDEApplicationName) +
                    " " + q(user);
    else if (op == "FTP Download")
        r.Command = "QDFTP D " + q(step.Command) + " " + q(step.Path) + " " + q(step.DDEApplicationName) +
                    " " + q(user);
    else
        r.Command = "HTTPGET " + q(step.Command) + " " + q(step.Path) + " /AUTO";
    r.Command = fitText(r.Command, ScriptingRecord::Width::Command);
    r.Path.clear();
    r.DDEApplicationName = "1211";
    r.TimeElapsed = 360000;
    r.DDEApplicationTopic.clear();
    r.DDEType.clear();
    // The password travels with the entry, off the command line.
    r.DDECommand = op == "HTTP Download" ? std::string() : std::string(text::trimRight(password));
    return r;
}

bool IsTransferCommand(std::string_view command) {
    const std::vector<std::string> words = splitCommandLine(command);
    return !words.empty() && !transferProgram(words.front()).empty();
}

std::optional<ProgramLaunch> PrepareTransferLaunch(const ScriptingRecord& entry,
                                                   const TransferStartOptions& options) {
    std::string folder = entry.Path;
    std::string password = entry.DDECommand;
    const bool translate = (entry.DDEApplicationName.size() >= 4 && entry.DDEApplicationName[3] == '1') ||
                           options.translateFilenames;
    // Split first, then translate inside each argument, once: a value with
    // blanks or quotes stays one argument, and is not read for names again.
    std::vector<std::string> words = splitCommandLine(entry.Command);
    if (translate && options.values) {
        for (std::string& w : words)
            w = options.values->TranslateText(w);
        folder = options.values->TranslateText(folder);
        password = options.values->TranslateText(password);
    }
    if (words.empty()) return std::nullopt;
    const std::string program = transferProgram(text::trimRight(words.front()));
    if (program.empty()) return std::nullopt;
    ProgramLaunch l;
    l.program = options.programFolder / program;
    l.arguments.assign(words.begin() + 1, words.end());
    if (program == "qdftp" && !password.empty())
        l.environment.push_back(std::string(remote::kFtpPasswordVariable) + "=" + password);
    l.workingFolder = !options.workingFolder.empty() ? options.workingFolder
                                                     : fs::path(std::string(text::trimRight(folder)));
    l.visibleCommand = joinCommandLine(words);
    return l;
}

} // namespace qd
