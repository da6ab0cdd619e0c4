// The text helpers shared by the readers and writers, and the bit counts.
#include "common/Text.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "TestUtil.hpp"
#include "common/BitCount.hpp"
#include "common/LineReader.hpp"
#include "common/Select.hpp"

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

TEST(LineReader, EndsLinesAtEveryLineFeedCarriageReturnOrBothWhereverTheyStand) {
    // LF lines, then CR-only lines, then CRLF lines; a CRLF split across the reader's blocks
    // (256 KB) inside a CR-ended line longer than a block.
    const std::string head = "a\nb\n\nc\rd\r\re\r\nf\r\n";
    const size_t split = 262143;  // the CR ends the first block, its LF starts the next
    std::string text = head + std::string(300000, 'A') + "\rg";
    text.insert(split, "\r\n");
    TempFile file(text);
    LineReader reader(file.path());
    std::vector<std::string> lines;
    for (std::string line; reader.next(line);) lines.push_back(line);
    const std::vector<std::string> expected{"a", "b", "", "c", "d", "", "e", "f"};
    ASSERT_EQ(lines.size(), expected.size() + 3);
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << i;
    EXPECT_EQ(lines[8].size(), split - head.size());
    EXPECT_EQ(lines[9].size(), 300000 - (split - head.size()));
    EXPECT_EQ(lines[10], "g");
    EXPECT_EQ(reader.lineNumber(), 11);
}

// The hardware and portable bit counts agree with a count bit by bit, on every length and
// alignment of words, so that the table is the same on every processor.
TEST(BitCount, HardwareAndPortablePathsCountAlike) {
    std::mt19937_64 random(5);
    std::vector<uint64_t> a(70), b(70);
    for (size_t i = 0; i < a.size(); ++i) {
        a[i] = random() & random();
        b[i] = i % 7 == 0 ? ~uint64_t{0} : random();
    }
    for (size_t from = 0; from < 3; ++from)
        for (size_t words = 0; from + words <= a.size(); words += 3) {
            size_t expected = 0;
            for (size_t w = from; w < from + words; ++w)
                for (int bit = 0; bit < 64; ++bit) expected += (a[w] & b[w]) >> bit & 1;
            EXPECT_EQ(andBitCountPortable(&a[from], &b[from], words), expected);
            if (hardwareBitCount()) {
                EXPECT_EQ(andBitCountHardware(&a[from], &b[from], words), expected);
            }
            EXPECT_EQ(andBitCount(&a[from], &b[from], words), expected);
        }
    // Many rows at once: each selected row counted against `a`, the others left alone.
    const uint64_t select[2] = {0x8000000000000005, 0x2};  // rows 0, 2, 63 and 65 of 66
    for (const auto& count :
         {andBitCountsPortable, andBitCountsHardware, andBitCountsWide, andBitCounts})
        for (size_t words : {3, 8, 11}) {
            if (count == andBitCountsHardware && !hardwareBitCount()) continue;
            if (count == andBitCountsWide && !wideBitCount()) continue;
            std::vector<int32_t> counts(66, -1);
            std::vector<uint64_t> rows(66 * words);
            for (uint64_t& row : rows) row = random();
            count(a.data(), rows.data(), words, select, 2, counts.data());
            for (size_t j = 0; j < counts.size(); ++j) {
                const bool selected = (select[j / 64] >> (j % 64)) & 1;
                EXPECT_EQ(counts[j], selected ? static_cast<int32_t>(andBitCountPortable(
                                                    a.data(), &rows[j * words], words))
                                              : -1)
                    << j << " of rows of " << words;
            }
        }
}

// The radix selection gives what std::nth_element gives: p-values spread over many octaves,
// crowded into a few (shared leading bits, so that several levels are read), repeated, with
// zeros, -0.0 and ones, and with negative numbers (the fallback).
TEST(Select, NthSmallestAsNthElement) {
    std::mt19937_64 random(8);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int form = 0; form < 4; ++form)
        for (size_t size : {4000, 4097, 60000}) {
            std::vector<double> values(size);
            for (double& v : values) {
                const double u = unit(random);
                v = form == 0   ? std::pow(u, 12)                      // many octaves
                    : form == 1 ? 0.25 + u * 1e-9                      // one narrow cluster
                    : form == 2 ? std::floor(u * 50) / 49              // repeats, 0 and above 1
                                : u - (random() % 1000 == 0 ? 2 : 0);  // a few negative
            }
            if (form == 2) values[size / 2] = -0.0;  // beside the zeros, not above the ones
            for (size_t n : {size_t{0}, size / 3, size - 1}) {
                std::vector<double> sorted = values;
                std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(n),
                                 sorted.end());
                EXPECT_EQ(nthSmallest(values, n), sorted[n]) << form << " " << size << " " << n;
            }
        }
}
