#include "Qdctl.h"

#include "platform/x11/X11Desktop.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // Only the commands that type keys or touch windows open the display.
    return qdctl::run(args, qdctl::Io{std::cin, std::cout, std::cerr, isatty(0) != 0},
                      [] { return qd::openX11ProgramDesktop(); });
}
