// The texts that describe a program's options, written once per option in the table that
// parses the command line and rendered from there for --help, the manual page and the
// Markdown tables of the README and the user's manual.
//
// Descriptions use two marks: `word` for a literal (an option, a value, a file form: bold on
// the manual page, code in Markdown, plain in --help) and *word* for a placeholder (italic).
// A blank line starts a new paragraph.
#pragma once

#include <span>
#include <string>

struct OptionText {
    const char* name;       // "w" for -w, "stats" for --stats
    const char* value;      // the value's placeholder ("N", "FILE"); empty for a switch
    const char* byDefault;  // the default as the tables show it; empty for none
    const char* summary;    // one line for the README's table
    const char* help;       // --help's description
    const char* reference;  // the manual's description, in full
};

// "-w" or "--stats".
std::string optionFlag(const OptionText& option);

// --help's list: each option with its value, its description wrapped to 78 columns and
// indented by 17 (by 19 in a list whose names are wider).
std::string helpList(std::span<const OptionText> options, size_t indent = 17);

// The manual page's option entries (.TP paragraphs) in roff.
std::string roffList(std::span<const OptionText> options);

// The README's table: option and summary, default in brackets.
std::string summaryTable(std::span<const OptionText> options);

// The user's manual's table: option, full description, default.
std::string referenceTable(std::span<const OptionText> options);

// A text with every generated block rewritten: the lines between a line holding
// "begin generated: KIND" and one holding "end generated: KIND" become `render(KIND)`.
// An unknown kind or a block without its end is an error (std::runtime_error).
std::string withGeneratedBlocks(const std::string& text,
                                std::string (*render)(const std::string& kind));
