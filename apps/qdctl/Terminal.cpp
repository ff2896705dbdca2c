#include "Terminal.h"
#include "data/Text.h"

#include <iostream>
#include <string>

namespace qdctl {

void TerminalUserInterface::message(const std::string& title, const std::string& text, qd::MessageIcon) {
    err_ << title << ": " << text << "\n";
}

bool TerminalUserInterface::ask(const std::string& title, const std::string& text) {
    err_ << title << ": " << text;
    if (answer) {
        err_ << " [" << (*answer ? "yes" : "no") << "]\n";
        return *answer;
    }
    if (!interactive_) {
        err_ << " [no: no terminal to ask]\n";
        return false;
    }
    err_ << " [y/N] " << std::flush;
    std::string line;
    std::getline(in_, line);
    return !line.empty() && (line[0] == 'y' || line[0] == 'Y');
}

std::optional<std::string> TerminalUserInterface::chooseFolder(const std::string& title,
                                                               const std::string& start) {
    if (!interactive_) {
        err_ << title << ": no terminal to ask; using " << start << "\n";
        return std::nullopt;
    }
    err_ << title << " (empty for " << start << "): " << std::flush;
    std::string line;
    std::getline(in_, line);
    if (line.empty()) return std::nullopt;
    return line;
}

void TerminalUserInterface::setClipboardText(const std::string& text) {
    // No clipboard here: show what would have been placed on it.
    err_ << text << "\n";
}

std::optional<std::string> TerminalUserInterface::prompt(const qd::PromptRequest& request) {
    auto plain = [](std::string s) {
        while (!s.empty() && (s.back() == ':' || s.back() == ' '))
            s.pop_back();
        return qd::text::lowerAscii(s);
    };
    for (const auto& [key, value] : promptAnswers) {
        if (plain(key) == plain(request.label) || plain(key) == plain(request.title)) {
            err_ << request.title << ": " << request.label << " [" << value << "]\n";
            return value;
        }
    }
    if (!interactive_) {
        err_ << request.title << ": " << request.label << " [cancelled: no answer given]\n";
        return std::nullopt;
    }
    err_ << request.title << ": " << request.label
         << (request.initial.empty() ? "" : " [" + request.initial + "]") << " " << std::flush;
    std::string line;
    if (!std::getline(in_, line)) return std::nullopt;
    return line.empty() ? request.initial : line;
}

} // namespace qdctl
