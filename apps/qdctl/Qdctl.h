// qdctl: the command-line companion of the program, on the same core.
#pragma once

#include "platform/Desktop.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace qdctl {

struct Io {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool interactive = false; // questions may be asked at the terminal
};

// Opens the desktop for the commands that need one ("run", "script run"):
// the qdctl program passes the X11 desktop, tests leave it empty (the null
// desktop: no display). Other commands never open a display.
using DesktopFactory = std::function<std::unique_ptr<qd::Desktop>()>;

// Runs one command line (without the program name); returns the exit code:
// 0 done, 1 refused or failed (the message was printed), 2 bad usage.
int run(const std::vector<std::string>& args, Io io, DesktopFactory desktop = {});

} // namespace qdctl
