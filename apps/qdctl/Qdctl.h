// qdctl: the command-line companion of the program, on the same core.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace qdctl {

struct Io {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool interactive = false; // questions may be asked at the terminal
};

// Runs one command line (without the program name); returns the exit code:
// 0 done, 1 refused or failed (the message was printed), 2 bad usage.
int run(const std::vector<std::string>& args, Io io);

} // namespace qdctl
