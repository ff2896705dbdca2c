#include "Terminal.h"

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

std::optional<std::string> TerminalUserInterface::chooseFolder(const std::string& title, const std::string& start) {
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

} // namespace qdctl
