#include "platform/CommandLine.h"

namespace qd {
namespace {

bool isSeparator(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::vector<std::string> splitCommandLine(std::string_view command) {
    std::vector<std::string> out;
    std::string cur;
    char quote = 0;   // the quote character of an open quoted part
    bool any = false; // the current argument has started (quotes count)
    for (std::size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                cur += c;
        } else if (c == '"' || (c == '\'' && command.find('\'', i + 1) != std::string_view::npos)) {
            quote = c;
            any = true;
        } else if (isSeparator(c)) {
            if (any) out.push_back(cur);
            cur.clear();
            any = false;
        } else {
            cur += c;
            any = true;
        }
    }
    if (any) out.push_back(cur);
    return out;
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
