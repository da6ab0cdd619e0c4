// The text helpers shared by the readers and writers.
#include "common/Text.hpp"

#include <gtest/gtest.h>

TEST(Text, SplitKeepsEmptyFields) {
    EXPECT_EQ(splitAt("a\t\tb", '\t'), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(splitAt("a\t", '\t'), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(splitAt("", '\t'), (std::vector<std::string>{""}));
}

TEST(Text, WordsBetweenRunsOfSeparators) {
    EXPECT_EQ(splitWords("  a \t b  c "), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(splitWords("a b c d", " ", 2), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(splitWords(" \t ").empty());
}

TEST(Text, NumbersAreWholeFields) {
    int64_t integer = 0;
    EXPECT_TRUE(parseInt64("-5", integer));
    EXPECT_EQ(integer, -5);
    for (const char* bad : {"", "12x", "1.5", "99999999999999999999"})
        EXPECT_FALSE(parseInt64(bad, integer)) << bad;
    uint64_t digits = 0;
    EXPECT_TRUE(parseDigits("4294967295", UINT32_MAX, digits));
    for (const char* bad : {"", "+5", " 5", "-0", "4294967296"})
        EXPECT_FALSE(parseDigits(bad, UINT32_MAX, digits)) << bad;
    double real = 0;
    EXPECT_TRUE(parseDouble("1e-5", real));
    EXPECT_EQ(real, 1e-5);
    EXPECT_TRUE(parseDouble("inf", real));
    for (const char* bad : {"", "1e5x", "0.5 "}) EXPECT_FALSE(parseDouble(bad, real)) << bad;
}

TEST(Text, ThousandsAndReplacements) {
    EXPECT_EQ(withThousands(999), "999");
    EXPECT_EQ(withThousands(26454), "26,454");
    EXPECT_EQ(withThousands(1000000), "1,000,000");
    EXPECT_EQ(withThousands(-1234), "-1,234");
    // A value that holds the mark is not replaced again.
    EXPECT_EQ(replaceAll("@A@ and @A@", "@A@", "x@A@"), "x@A@ and x@A@");
}
