// Text helpers shared by the readers and the programs: splitting a line at a separator,
// reading a whole field as a number, writing a command line back as a shell reads it. A field is a
// number only when all of it is: "12abc" is not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The fields of `text` between separators; n separators give n + 1 fields.
std::vector<std::string> splitAt(std::string_view text, char separator);

// The words of `text` between any of the separator characters, keeping at most `limit`
// words (the rest of the text is not split); runs of separators count as one, separators at
// either end are ignored.
std::vector<std::string> splitWords(std::string_view text, const char* separators = " \t",
                                    size_t limit = SIZE_MAX);

// The decimal integer at the start of `text` as strtoll reads it (leading blanks, a sign,
// digits; none reads as 0), with in `used` the characters it took; false where the number
// lies outside the 64-bit range.
bool leadingInt64(std::string_view text, int64_t& value, size_t& used);

// A whole field as a decimal integer, as strtoll reads it, in the 64-bit range.
bool parseInt64(std::string_view text, int64_t& value);

// A whole field of decimal digits only (no blank, no sign), at most `largest`.
bool parseDigits(std::string_view text, uint64_t largest, uint64_t& value);

// A whole field as a floating-point number, as strtod reads it.
bool parseDouble(std::string_view text, double& value);

// A whole number with commas between groups of three digits: 26,454.
std::string withThousands(int64_t value);

// A number with a fixed count of digits after the point: 0.440.
std::string fixedDigits(double value, int digits);

// One number as a printf format writes it ("%.6g", "%.4g", "%.3f"): the one way the tables,
// notes and page data write a number in a chosen form.
std::string formatted(const char* format, double value);

// The text with every occurrence of `mark` replaced by `value`.
std::string replaceAll(std::string text, const std::string& mark, const std::string& value);

// The text with every control character written as a C escape (\n, \r, \t, \x1b), so that a
// name cannot break a line-based output or send codes to a terminal.
std::string printable(std::string_view text);

// A command-line word as a shell would need it to read it back: quoted where it holds
// anything but letters, digits and -_./=:,+@%; a word with control characters in bash's
// $'...' form, its control characters escaped, so that it stays on one line.
std::string shellWord(const std::string& word);

// The words of a command line, each as shellWord gives it, separated by spaces.
std::string commandLineOf(int argc, char** argv);
