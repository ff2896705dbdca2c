// The one rule for splitting a command line into program and arguments, used
// wherever a stored command is started.
//
// Blanks and tabs separate arguments. Double quotes group: "my file.txt" is one
// argument, "" an empty one, and a double quote left open runs to the end.
// Single quotes group the same way when a closing one follows in the line; an
// apostrophe without a partner (Bob's) is an ordinary character. Quoted and
// unquoted parts that touch form one argument ("a b"c is `a bc`). The quotes
// themselves are removed; there is no escape character, so backslashes in
// paths stay as they are.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qd {

std::vector<std::string> splitCommandLine(std::string_view command);

// The first argument (the program) by the same rule, and the text after it as it
// was written (the separators before it left off).
struct ProgramAndRest {
    std::string program;
    std::string rest;
};
ProgramAndRest splitProgram(std::string_view command);

// One argument written so that splitCommandLine gives it back unchanged: as it
// is when it needs no quoting (and `alwaysQuoted` is off), else in double
// quotes, a double quote inside written as '"'.
std::string quoteCommandArgument(std::string_view argument, bool alwaysQuoted = false);

// The arguments joined with blanks, each quoted as needed.
std::string joinCommandLine(const std::vector<std::string>& arguments);

} // namespace qd
