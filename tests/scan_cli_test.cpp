// rekul-scan as a user runs it: the report's genes scanned again give exactly the report's
// instances (the same window scan), written as BED sorted as bedtools sorts.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "TestUtil.hpp"
#include "report/ReportReader.hpp"

namespace {

using Instance = std::tuple<std::string, std::string, int64_t, int64_t>;  // module, gene, span

}  // namespace

TEST(Scan, TheReportsGenesScannedAgainGiveItsInstances) {
    const std::string motifs = kExamples + "example.motifs", genes = kExamples + "example.fa";
    TempFile report(runProgram(REKUL_BIN, {"--quiet", "-g", "20", motifs, genes}).out,
                    "report.txt");
    std::multiset<Instance> reported;
    ReportReader reader(report.path());
    for (ReportModule module; reader.next(module);)
        for (const ReportInstance& instance : module.instances) {
            int64_t end = 0;
            for (const ReportHit& hit : instance.hits) end = std::max(end, hit.end + 1);
            reported.emplace(module.id(), instance.gene, instance.hits.front().start, end);
        }
    ASSERT_GT(reported.size(), 50u);
    const RunResult scan = runProgram(
        REKUL_SCAN_BIN, {"--quiet", "--modules", report.path(), "-g", "20", motifs, genes});
    ASSERT_EQ(scan.status, 0) << scan.err;
    std::multiset<Instance> scanned;
    std::vector<std::pair<std::string, int64_t>> order;
    std::istringstream lines(scan.out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string gene, name;
        int64_t start = 0, end = 0;
        fields >> gene >> start >> end >> name;
        scanned.emplace(name.substr(0, name.find(':')), gene, start, end);
        order.emplace_back(gene, start);
    }
    EXPECT_EQ(scanned, reported);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
}
