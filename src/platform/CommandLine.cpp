#include "platform/CommandLine.h"

namespace qd {
namespace {

bool isSeparator(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

namespace {

// Reads the argument that starts at or after `pos` into `out` and leaves `pos`
// just after it; false when only separators were left.
bool nextArgument(std::string_view command, std::size_t& pos, std::string& out) {
    out.clear();
    char quote = 0;   // the quote character of an open quoted part
    bool any = false; // the argument has started (quotes count)
    for (; pos < command.size(); ++pos) {
        const char c = command[pos];
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                out += c;
        } else if (c == '"' || (c == '\'' && command.find('\'', pos + 1) != std::string_view::npos)) {
            quote = c;
            any = true;
        } else if (isSeparator(c)) {
            if (any) break;
        } else {
            out += c;
            any = true;
        }
    }
    return any;
}

} // namespace

std::vector<std::string> splitCommandLine(std::string_view command) {
    std::vector<std::string> out;
    std::string argument;
    for (std::size_t pos = 0; nextArgument(command, pos, argument);)
        out.push_back(argument);
    return out;
}

ProgramAndRest splitProgram(std::string_view command) {
    ProgramAndRest r;
    std::size_t pos = 0;
    nextArgument(command, pos, r.program);
    while (pos < command.size() && isSeparator(command[pos]))
        ++pos;
    r.rest = std::string(command.substr(pos));
    return r;
}

std::string quoteCommandArgument(std::string_view argument, bool alwaysQuoted) {
    bool plain = !argument.empty() && !alwaysQuoted;
    for (char c : argument)
        if (isSeparator(c) || c == '"' || c == '\'') plain = false;
    if (plain) return std::string(argument);
    // Inside double quotes only a double quote is special: close the quotes,
    // give it in single quotes, open them again.
    std::string out = "\"";
    for (char c : argument) {
        if (c == '"')
            out += "\"'\"'\"";
        else
            out += c;
    }
    out += '"';
    return out;
}

std::string joinCommandLine(const std::vector<std::string>& arguments) {
    std::string out;
    for (const auto& a : arguments) {
        if (!out.empty()) out += ' ';
        out += quoteCommandArgument(a);
    }
    return out;
}

} // namespace qd
