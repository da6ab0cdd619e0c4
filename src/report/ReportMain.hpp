// The rekul-report program: its options and the conversion of one report.
#pragma once

#include <vector>

#include "common/OptionText.hpp"

int reportMain(int argc, char** argv);

// The texts of every option of rekul-report, in the order the documentation lists them.
std::vector<OptionText> reportOptionTexts();
