// Text helpers: splitting, whole-field numbers through strtoll and strtod with the whole field
// consumed, printf-style formatting, escapes of control characters, and shell quoting.
#include "common/Text.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

std::vector<std::string> splitAt(std::string_view text, char separator) {
    std::vector<std::string> fields;
    size_t from = 0;
    for (size_t at; (at = text.find(separator, from)) != std::string_view::npos; from = at + 1)
        fields.emplace_back(text.substr(from, at - from));
    fields.emplace_back(text.substr(from));
    return fields;
}

std::vector<std::string> splitWords(std::string_view text, const char* separators, size_t limit) {
    std::vector<std::string> words;
    size_t pos = text.find_first_not_of(separators);
    while (pos != std::string_view::npos && words.size() < limit) {
        const size_t end = text.find_first_of(separators, pos);
        words.emplace_back(text.substr(pos, end == std::string_view::npos ? end : end - pos));
        pos = end == std::string_view::npos ? end : text.find_first_not_of(separators, end);
    }
    return words;
}

bool leadingInt64(std::string_view text, int64_t& value, size_t& used) {
    const std::string field(text);
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(field.c_str(), &end, 10);
    if (errno == ERANGE) return false;
    value = parsed;
    used = static_cast<size_t>(end - field.c_str());
    return true;
}

bool parseInt64(std::string_view text, int64_t& value) {
    size_t used = 0;
    int64_t parsed = 0;
    if (text.empty() || !leadingInt64(text, parsed, used) || used != text.size()) return false;
    value = parsed;
    return true;
}

bool parseDigits(std::string_view text, uint64_t largest, uint64_t& value) {
    int64_t parsed = 0;
    const bool digits = !text.empty() && std::all_of(text.begin(), text.end(),
                                                     [](char c) { return c >= '0' && c <= '9'; });
    if (!digits || !parseInt64(text, parsed) || static_cast<uint64_t>(parsed) > largest)
        return false;
    value = static_cast<uint64_t>(parsed);
    return true;
}

bool parseDouble(std::string_view text, double& value) {
    const std::string field(text);
    if (field.empty()) return false;
    char* end = nullptr;
    value = std::strtod(field.c_str(), &end);
    return *end == '\0';
}

std::string withThousands(int64_t value) {
    std::string digits = std::to_string(value < 0 ? -value : value), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return value < 0 ? "-" + out : out;
}

std::string replaceAll(std::string text, const std::string& mark, const std::string& value) {
    for (size_t at = 0; (at = text.find(mark, at)) != std::string::npos; at += value.size())
        text.replace(at, mark.size(), value);
    return text;
}

namespace {

bool isControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

std::string escaped(char c) {
    switch (c) {
        case '\n':
            return "\\n";
        case '\r':
            return "\\r";
        case '\t':
            return "\\t";
        default: {
            static const char* hex = "0123456789abcdef";
            const auto byte = static_cast<unsigned char>(c);
            return std::string("\\x") + hex[byte >> 4] + hex[byte & 15];
        }
    }
}

}  // namespace

std::string printable(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (isControl(c))
            out += escaped(c);
        else
            out += c;
    }
    return out;
}

std::string shellWord(const std::string& word) {
    const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("-_./=:,+@%", c);
    });
    if (plain) return word;
    if (std::any_of(word.begin(), word.end(), isControl)) {
        std::string quoted = "$'";
        for (char c : word) {
            if (c == '\'' || c == '\\') quoted += '\\';
            quoted += isControl(c) ? escaped(c) : std::string(1, c);
        }
        return quoted + '\'';
    }
    std::string quoted = "'";
    for (char c : word) {
        if (c == '\'')
            quoted.append("'\\''");
        else
            quoted += c;
    }
    quoted += '\'';
    return quoted;
}

std::string commandLineOf(int argc, char** argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        if (i) line += ' ';
        line += shellWord(argv[i]);
    }
    return line;
}

std::string fixedDigits(double value, int digits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

std::string formatted(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}
