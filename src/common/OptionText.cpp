// Renders option descriptions: the marks `literal` and *placeholder* become plain text
// (--help), roff fonts (the manual page) or Markdown (the tables); words are wrapped greedily
// for --help, and roff gets one sentence per line, as troff expects.
#include "common/OptionText.hpp"

#include <stdexcept>
#include <vector>

#include "common/Text.hpp"

namespace {

std::vector<std::string> paragraphsOf(const std::string& text) {
    std::vector<std::string> paragraphs;
    size_t from = 0;
    for (size_t at; (at = text.find("\n\n", from)) != std::string::npos; from = at + 2)
        paragraphs.push_back(text.substr(from, at - from));
    paragraphs.push_back(text.substr(from));
    return paragraphs;
}

// How a form shows the marks: what opens and closes a literal and a placeholder, and how
// it writes each character inside a mark and outside one.
struct Marks {
    const char *literalOpen, *literalClose, *italicOpen, *italicClose;
    std::string (*inside)(char);
    std::string (*outside)(char);
};

std::string rendered(const std::string& text, const Marks& marks) {
    std::string out;
    char mark = 0;
    for (char c : text) {
        if ((c == '`' || c == '*') && (mark == 0 || mark == c)) {
            const bool literal = c == '`';
            if (mark == 0)
                out += literal ? marks.literalOpen : marks.italicOpen;
            else
                out += literal ? marks.literalClose : marks.italicClose;
            mark = mark ? 0 : c;
        } else {
            out += mark ? marks.inside(c) : marks.outside(c);
        }
    }
    return out;
}

std::string asIs(char c) {
    return std::string(1, c);
}

std::string plain(const std::string& text) {
    return rendered(text, {"", "", "", "", asIs, asIs});
}

std::string roffChar(char c) {
    if (c == '\\') return "\\e";
    return std::string(1, c);
}

std::string roffMarked(char c) {
    return c == '-' ? "\\-" : roffChar(c);
}

std::string markdownChar(char c) {
    return c == '|' ? "\\|" : std::string(1, c);
}

// One sentence per line; a line that would start with a control character is guarded.
std::string roffLines(const std::string& paragraph) {
    std::string text = rendered(paragraph, {"\\fB", "\\fR", "\\fI", "\\fR", roffMarked, roffChar});
    std::string out;
    for (const std::string& line : splitAt(replaceAll(text, ". ", ".\n"), '\n')) {
        if (!line.empty() && (line[0] == '.' || line[0] == '\'')) out += "\\&";
        out += line + "\n";
    }
    return out;
}

std::string roffFlag(const OptionText& option) {
    std::string flag = replaceAll(optionFlag(option), "-", "\\-");
    if (*option.value == 0) return ".B " + flag + "\n";
    return ".BI " + flag + " \" " + option.value + "\"\n";
}

std::string markdownCell(const std::string& text) {
    std::string cell;
    for (const std::string& paragraph : paragraphsOf(text)) {
        if (!cell.empty()) cell += ' ';
        cell += rendered(paragraph, {"`", "`", "*", "*", markdownChar, markdownChar});
    }
    return cell;
}

std::string flagWithValue(const OptionText& option) {
    return optionFlag(option) + (*option.value ? std::string(" ") + option.value : "");
}

// Words of `text` after `first` on its line, wrapped to 78 columns with `indent` blanks.
std::string wrapped(std::string line, const std::string& text, size_t indent) {
    std::string out;
    for (const std::string& paragraph : paragraphsOf(text)) {
        for (const std::string& word : splitWords(paragraph, " \n")) {
            if (line.size() > indent && line.size() + 1 + word.size() > 78) {
                out += line + "\n";
                line = std::string(indent, ' ');
            }
            if (line.back() != ' ') line += ' ';
            line += word;
        }
        out += line + "\n";
        line = std::string(indent, ' ');
    }
    return out;
}

}  // namespace

std::string optionFlag(const OptionText& option) {
    std::string flag = option.name[1] == 0 ? "-" : "--";
    return flag + option.name;
}

std::string helpList(std::span<const OptionText> options, size_t indent) {
    std::string out;
    for (const OptionText& option : options) {
        std::string head = flagWithValue(option);
        head += head.size() + 1 < indent ? std::string(indent - head.size(), ' ') : "  ";
        out += wrapped(head, plain(option.help), indent);
    }
    return out;
}

std::string roffList(std::span<const OptionText> options) {
    std::string out;
    for (const OptionText& option : options) {
        out += ".TP\n" + roffFlag(option);
        bool first = true;
        for (const std::string& paragraph : paragraphsOf(option.reference)) {
            if (!first) out += ".IP\n";
            out += roffLines(paragraph);
            first = false;
        }
        if (*option.byDefault) out += roffLines(std::string("Default: ") + option.byDefault + ".");
    }
    return out;
}

std::string summaryTable(std::span<const OptionText> options) {
    std::string out = "| option | meaning (default) |\n|---|---|\n";
    for (const OptionText& option : options) {
        out += "| `" + markdownCell(flagWithValue(option)) + "` | " + markdownCell(option.summary);
        if (*option.byDefault) out += " (" + markdownCell(option.byDefault) + ")";
        out += " |\n";
    }
    return out;
}

std::string referenceTable(std::span<const OptionText> options) {
    std::string out = "| option | meaning | default |\n|---|---|---|\n";
    for (const OptionText& option : options)
        out += "| `" + markdownCell(flagWithValue(option)) + "` | " +
               markdownCell(option.reference) + " | " + markdownCell(option.byDefault) + " |\n";
    return out;
}

std::string withGeneratedBlocks(const std::string& text,
                                std::string (*render)(const std::string& kind)) {
    const std::string begin = "begin generated: ", end = "end generated: ";
    std::string out;
    std::vector<std::string> lines = splitAt(text, '\n');
    for (size_t i = 0; i < lines.size(); ++i) {
        out += lines[i] + (i + 1 < lines.size() ? "\n" : "");
        const size_t at = lines[i].find(begin);
        if (at == std::string::npos) continue;
        std::string kind = lines[i].substr(at + begin.size());
        kind = kind.substr(0, kind.find_first_of(" \t"));
        size_t close = i + 1;
        while (close < lines.size() && lines[close].find(end + kind) == std::string::npos) ++close;
        if (close == lines.size())
            throw std::runtime_error("the generated block " + kind + " has no end line");
        out += render(kind);
        i = close - 1;
    }
    return out;
}
