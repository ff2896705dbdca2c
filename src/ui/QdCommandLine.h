// The command line of qd: the switches "/I", "/CONFIG" and "User=<name>",
// and "--data DIR", "--help", "--version".
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qdui {

struct QdCommandLine {
    std::optional<std::string> dataDir;
    std::vector<std::string> switches; // "/I", "/CONFIG", "User=..." as given
    bool help = false;
    bool version = false;
    std::string error; // set when the line cannot be used

    static QdCommandLine parse(const std::vector<std::string>& args);
};

std::string qdUsageText();
std::string qdVersionText();

} // namespace qdui
