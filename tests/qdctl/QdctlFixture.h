// Runs qdctl commands in-process on a data folder in a temp directory and keeps
// what they printed.
#pragma once

#include "Context.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace qdtest {

class QdctlFixture : public ::testing::Test {
protected:
    // Runs `args` after the fixture's own leading options (--data and `extra`).
    int run(std::vector<std::string> args, const std::string& input = "") {
        std::vector<std::string> all{"--data", dir.str()};
        all.insert(all.end(), leading.begin(), leading.end());
        all.insert(all.end(), args.begin(), args.end());
        std::istringstream in(input);
        std::ostringstream o;
        std::ostringstream e;
        const int rc = qdctl::run(all, qdctl::Io{in, o, e, false});
        out = o.str();
        err = e.str();
        return rc;
    }

    TempDir dir;
    std::vector<std::string> leading; // options every command gets, e.g. {"--now", "..."}
    std::string out;
    std::string err;
};

} // namespace qdtest
