// The generated blocks of the documentation: each kind of block the README, the user's
// manual and the manual pages hold, made from the programs' option tables.
#pragma once

#include <stdexcept>
#include <string>

#include "common/Args.hpp"
#include "common/OptionText.hpp"
#include "report/ReportMain.hpp"

inline std::string optionBlock(const std::string& kind) {
    if (kind == "options_summary") return summaryTable(programOptionTexts());
    if (kind == "options_reference") return referenceTable(programOptionTexts());
    if (kind == "options_roff") return roffList(programOptionTexts());
    if (kind == "report_options_reference") return referenceTable(reportOptionTexts());
    if (kind == "report_options_roff") return roffList(reportOptionTexts());
    throw std::runtime_error("there is no generated block " + kind);
}

// The documents that hold generated blocks, from the project's root.
inline const char* const kDocumentsWithOptions[] = {"README.md", "docs/manual.md",
                                                    "man/program.1.in", "man/rekul-report.1.in"};
