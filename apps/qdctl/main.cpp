#include "Qdctl.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return qdctl::run(args, qdctl::Io{std::cin, std::cout, std::cerr, isatty(0) != 0});
}
