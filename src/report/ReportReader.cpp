// The report reader: one block at a time, header, gene lines and hit lines checked field by
// field, each refusal naming its line.
#include "report/ReportReader.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "common/Text.hpp"
#include "common/die.hpp"

int64_t ReportModule::geneCount() const {
    std::vector<std::string> genes;
    for (const ReportInstance& instance : instances) genes.push_back(instance.gene);
    std::sort(genes.begin(), genes.end());
    return std::unique(genes.begin(), genes.end()) - genes.begin();
}

ReportReader::ReportReader(const std::string& path, const std::string& shownAs, bool warnings)
    : reader_(path, shownAs, warnings) {
    if (!reader_.isOpen())
        dieIo("Error: cannot open report " + reader_.displayName() + ": " + reader_.openError());
}

void ReportReader::fail(const std::string& what) const {
    failAt(reader_.lineNumber(), what);
}

void ReportReader::failAt(long line, const std::string& what) const {
    die("Error: " + reader_.displayName() + " line " + std::to_string(line) + ": " + what);
}

bool ReportReader::nextLine() {
    while (reader_.next(line_))
        if (!line_.empty()) return true;
    return false;
}

bool ReportReader::next(ReportModule& module) {
    if (!pending_ && !nextLine()) return false;
    pending_ = false;
    module = ReportModule();
    module.number = ++count_;
    const long headerLine = reader_.lineNumber();
    const int64_t announced = readHeader(module);
    while (nextLine()) {
        if (line_[0] == '>') {
            pending_ = true;
            break;
        }
        if (line_[0] == '\t') {
            readHit(module);
        } else {
            if (!module.instances.empty() && module.instances.back().hits.empty())
                fail("gene " + module.instances.back().gene + " of module " + module.id() +
                     " has no hit lines");
            // A gene name holds no tab; a line with one would misalign every column of the
            // forms written from it.
            if (line_.find('\t') != std::string::npos)
                fail("gene line holds a tab; gene names have none");
            module.instances.push_back({line_, {}});
        }
    }
    if (module.instances.empty() || module.instances.back().hits.empty())
        fail("module " + module.id() + " ends without an instance with hits");
    if (static_cast<int64_t>(module.instances.size()) != announced)
        failAt(headerLine, "module " + module.id() + " announces " + std::to_string(announced) +
                               " instances but lists " + std::to_string(module.instances.size()));
    return true;
}

int64_t ReportReader::readHeader(ReportModule& module) {
    if (line_[0] != '>') fail("expected a module header line starting with '>'");
    std::vector<std::string> fields = splitAt(line_.substr(1), '\t');
    const std::string last = fields.back();
    fields.pop_back();
    const size_t comma = last.find(',');
    int64_t announced = 0;
    if (fields.empty() || comma == std::string::npos ||
        !parseInt64(last.substr(0, comma), announced) || announced < 1 ||
        !parseDouble(last.substr(comma + 1), module.probability))
        fail(
            "module header needs motif names, then the number of instances, a comma and the "
            "probability");
    for (const std::string& motif : fields)
        if (motif.empty()) fail("module header has an empty motif name");
    module.motifs = std::move(fields);
    module.probabilityText = last.substr(comma + 1);
    return announced;
}

void ReportReader::readHit(ReportModule& module) {
    if (module.instances.empty()) fail("hit line before any gene line");
    std::vector<std::string> fields = splitAt(line_.substr(1), '\t');
    ReportHit hit;
    double score = 0;
    if (fields.size() != 5 || !parseInt64(fields[1], hit.start) ||
        !parseInt64(fields[2], hit.end) || (fields[3] != "+" && fields[3] != "-") ||
        !parseDouble(fields[4], score))
        fail("hit line needs a tab, then motif, start, end, strand (+ or -) and score");
    if (hit.start < 0 || hit.end < hit.start) fail("hit positions must be 0 <= start <= end");
    // No sequence is longer, and coordinates built from larger ones would overflow.
    if (hit.end > INT32_MAX) fail("hit positions must be below 2147483648");
    if (std::find(module.motifs.begin(), module.motifs.end(), fields[0]) == module.motifs.end())
        fail("hit of motif " + fields[0] + " is not one of module " + module.id() + "'s motifs");
    hit.motif = fields[0];
    hit.strand = fields[3][0];
    hit.score = fields[4];
    module.instances.back().hits.push_back(std::move(hit));
}
