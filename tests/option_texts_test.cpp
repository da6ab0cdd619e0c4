// The option texts: every description in the documents comes from the option tables, and
// the renderings keep what their readers need (roff's minus signs, Markdown's table cells).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "OptionBlocks.hpp"

namespace {

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(OptionTexts, TheDocumentsHoldTheTextsTheTablesMake) {
    int blocks = 0;
    for (const char* document : kDocumentsWithOptions) {
        const std::string text = fileText(std::string(SOURCE_DIR) + "/" + document);
        ASSERT_FALSE(text.empty()) << document;
        EXPECT_EQ(withGeneratedBlocks(text, optionBlock), text)
            << document << " differs from the option tables: run make option-texts";
        for (size_t at = 0; (at = text.find("begin generated: ", at)) != std::string::npos; ++at)
            ++blocks;
    }
    EXPECT_EQ(blocks, 5);  // the README's table, and per program a table and a manual section
}

TEST(OptionTexts, RenderingsKeepTheMarksOfEachForm) {
    const OptionText options[] = {{"permutation-method", "pool|search", "pool",
                                   "how `pool|search` finds *N*", "",
                                   "Uses `-m` and *FILE*.\n\n.Starts a line."}};
    const std::string roff = roffList(options);
    EXPECT_NE(roff.find(".BI \\-\\-permutation\\-method \" pool|search\"\n"), std::string::npos);
    EXPECT_NE(roff.find("Uses \\fB\\-m\\fR and \\fIFILE\\fR.\n.IP\n\\&.Starts a line.\n"),
              std::string::npos)
        << roff;
    EXPECT_NE(roff.find("Default: pool.\n"), std::string::npos);
    // A bar ends a Markdown table cell unless it is escaped, in code as well.
    EXPECT_NE(
        summaryTable(options).find(
            "| `--permutation-method pool\\|search` | how `pool\\|search` finds *N* (pool) |"),
        std::string::npos);
    EXPECT_THROW(withGeneratedBlocks("<!-- begin generated: options_roff -->\n", optionBlock),
                 std::runtime_error);
}

TEST(OptionTexts, HelpNamesEveryLongOptionTheParserKnows) {
    const std::string help = Args().helpText();
    for (const OptionText& option : programOptionTexts()) {
        if (option.name[1] == 0) continue;  // the short options keep their own help lines
        EXPECT_TRUE(Args::knows(option.name));
        EXPECT_NE(help.find(std::string("\n") += optionFlag(option)), std::string::npos)
            << option.name;
    }
}
