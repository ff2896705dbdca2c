#include "remote/PercentEncoding.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

using qd::remote::percentEncodePath;

namespace {

std::string decode(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() + 0 && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

TEST(PercentEncodingTest, KeepsSeparatorsAndUnreservedEncodesTheRest) {
    EXPECT_EQ(percentEncodePath("/home/u/a b%.txt"), "/home/u/a%20b%25.txt");
    EXPECT_EQ(percentEncodePath("/x/\xc3\xa9"), "/x/%C3%A9");
    EXPECT_EQ(percentEncodePath("Az09-_.~/"), "Az09-_.~/");
    EXPECT_EQ(percentEncodePath("a?b#c;d\\e\"f"), "a%3Fb%23c%3Bd%5Ce%22f");
    EXPECT_EQ(percentEncodePath(std::string("\0\xff", 2)), "%00%FF");
    EXPECT_EQ(percentEncodePath(""), "");
}

TEST(PercentEncodingTest, EveryByteComesBackAndNothingUnsafeRemains) {
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += static_cast<char>(c);
    const std::string encoded = percentEncodePath(all);
    EXPECT_EQ(decode(encoded), all);
    for (const char c : encoded) {
        const auto u = static_cast<unsigned char>(c);
        EXPECT_TRUE(std::isalnum(u) || std::string("-_.~/%").find(c) != std::string::npos) << int(u);
    }
}

} // namespace
