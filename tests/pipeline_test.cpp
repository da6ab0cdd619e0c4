// Whole runs of both programs: golden reports, progress lines and input refusals.
#include <gtest/gtest.h>

#include "TestUtil.hpp"

namespace {
const std::string kGolden = GOLDEN_DIR;
const std::string kExamples = EXAMPLES_DIR;
}  // namespace

TEST(Pipeline, Placeholder) {
    SUCCEED();
}
