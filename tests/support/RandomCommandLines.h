// Random command lines for the tests of putting values into arguments: every
// argument a mix of literal text and bracketed names, the values random texts,
// both over the characters that matter (blanks, tabs, both quotes, brackets,
// backslashes, "%", "=", UTF-8).
#pragma once

#include "script/Values.h"

#include <random>
#include <string>
#include <vector>

namespace qdtest {

struct RandomArguments {
    std::vector<std::string> written;  // the arguments as written, bracketed names in
    std::vector<std::string> expected; // the same with each value put in exactly
};

class RandomCommandLines {
public:
    explicit RandomCommandLines(unsigned seed) : rng_(seed) {}

    // Gives the names new random values in `vars` and returns 1 to 4 arguments.
    RandomArguments next(qd::VariableQueue& vars) {
        const std::vector<std::string> names = {"V1", "V2", "LONG NAME"};
        std::vector<std::string> valueOf;
        vars.clear();
        for (const auto& name : names) {
            std::string v = text(6);
            while (!v.empty() && v.back() == ' ')
                v.pop_back();              // stored values have no trailing blanks
            if (pick(4) == 0) v += "[V1]"; // a name in a value is never translated again
            vars.set(name, v);
            valueOf.push_back(v);
        }
        RandomArguments out;
        for (std::size_t a = 1 + pick(4); a > 0; --a) {
            std::string written;
            std::string want;
            for (std::size_t p = pick(5); p > 0; --p) {
                if (pick(3) == 0) {
                    const std::size_t v = pick(names.size());
                    written += "[" + names[v] + "]";
                    want += valueOf[v];
                } else {
                    const std::string literal = kAlphabet[pick(std::size(kAlphabet))];
                    want += literal;
                    written += literal == "[" ? "[[" : literal; // a literal bracket is written doubled
                }
            }
            out.written.push_back(written);
            out.expected.push_back(want);
        }
        return out;
    }

private:
    static constexpr const char* kAlphabet[] = {"a",
                                                "Z",
                                                "0",
                                                " ",
                                                "\t",
                                                "\"",
                                                "'",
                                                "[",
                                                "]",
                                                "\\",
                                                "/",
                                                "=",
                                                "%",
                                                "-",
                                                "\xc3\xa9",
                                                "\xe2\x82\xac",
                                                "\xf0\x9f\x98\x80",
                                                "x y"};

    std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }
    std::string text(std::size_t maxLength) {
        std::string s;
        for (std::size_t n = pick(maxLength + 1); n > 0; --n)
            s += kAlphabet[pick(std::size(kAlphabet))];
        return s;
    }

    std::mt19937 rng_;
};

} // namespace qdtest
