// Shard files of the permutations and their merge into one statistics table.
#include "modules/PermutationShard.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "common/LineReader.hpp"
#include "common/Text.hpp"
#include "common/die.hpp"
#include "modules/ModuleStats.hpp"
#include "modules/PoolPermutations.hpp"

namespace {

constexpr const char* kTitle = "# rekul permutation shard ";
// The table's permutation columns: fwer, fdr and fdr_exact.
constexpr size_t kFwerColumn = 13, kFdrColumn = 14, kExactColumn = 16, kColumns = 17;

std::string hex(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%a", value);
    return text;
}

void writeValues(std::ostream& out, const char* name, const std::vector<double>& values) {
    out << name << '\t' << values.size() << '\n';
    for (double value : values) out << hex(value) << '\n';
}

// Values that repeat (permuted p-values take few distinct values), as each distinct value
// with its count, ascending.
void writeCounted(std::ostream& out, const char* name, std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t distinct = 0;
    for (size_t k = 0; k < values.size(); ++k) distinct += k == 0 || values[k] != values[k - 1];
    out << name << '\t' << distinct << '\n';
    for (size_t k = 0, next; k < values.size(); k = next) {
        for (next = k + 1; next < values.size() && values[next] == values[k];) ++next;
        out << hex(values[k]) << '\t' << next - k << '\n';
    }
}

// Reads a shard file line by line, refusing anything but what writePermutationShard writes.
class ShardReader {
  public:
    explicit ShardReader(const std::string& path) : reader_(path) {
        if (!reader_.isOpen())
            dieIo("Error: cannot open permutation shard " + path + ": " + reader_.openError());
    }
    std::string line() {
        std::string text;
        if (!reader_.next(text)) fail("the file ends early");
        return text;
    }
    bool next(std::string& text) { return reader_.next(text); }
    std::vector<std::string> fields(const std::string& name, size_t count) {
        std::vector<std::string> words = splitAt(line(), '\t');
        if (words.size() != count || words[0] != name) fail("expected the " + name + " line");
        return words;
    }
    int64_t number(const std::string& text) {
        char* end = nullptr;
        const long long value = std::strtoll(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0' || value < 0 || value > 2000000000000LL)
            fail("\"" + text + "\" is no count");
        return value;
    }
    // The values of writeValues, or with `counted` those of writeCounted.
    std::vector<double> values(const std::string& name, bool counted = false) {
        const int64_t count = number(fields(name, 2)[1]);
        std::vector<double> values;
        for (int64_t k = 0; k < count; ++k) {
            const std::vector<std::string> words = splitAt(line(), '\t');
            if (words.size() != (counted ? 2u : 1u)) fail("expected a p-value");
            char* end = nullptr;
            const double value = std::strtod(words[0].c_str(), &end);
            if (words[0].empty() || *end != '\0' || !(value >= 0 && value <= 1))
                fail("\"" + words[0] + "\" is no p-value");
            values.insert(values.end(), counted ? static_cast<size_t>(number(words[1])) : 1, value);
        }
        return values;
    }
    [[noreturn]] void fail(const std::string& what) {
        die("Error: " + reader_.displayName() + " line " + std::to_string(reader_.lineNumber()) +
            ": " + what + " (not a permutation shard of rekul --permutation-shard)");
    }

  private:
    LineReader reader_;
};

std::vector<std::string> tableLines(const std::string& table) {
    std::vector<std::string> lines;
    std::istringstream in(table);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string joined(const std::vector<std::string>& columns) {
    std::string row;
    for (size_t k = 0; k < columns.size(); ++k) {
        if (k) row += '\t';
        row += columns[k];
    }
    return row;
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// The notes that the permutations write, and those that name the input files, whose paths
// differ where the shards ran on different machines (the merge keeps shard 1's).
bool shardNote(const std::string& line) {
    return startsWith(line, "# permutations: ") || startsWith(line, "# interrupted: ") ||
           startsWith(line, "# fdr: ") || startsWith(line, "# command: ") ||
           startsWith(line, "# background: ");
}

// The table without what depends on the shard: equal for the shards of one run.
std::vector<std::string> skeleton(const std::string& table, size_t rows) {
    std::vector<std::string> kept;
    const std::vector<std::string> lines = tableLines(table);
    for (size_t k = 0; k < lines.size(); ++k) {
        if (k >= 1 && k <= rows) {
            std::vector<std::string> columns = splitAt(lines[k], '\t');
            if (columns.size() <= kExactColumn) return {};
            for (size_t c : {kFwerColumn, kFdrColumn, kExactColumn}) columns[c].clear();
            kept.push_back(joined(columns));
        } else if (!shardNote(lines[k])) {
            kept.push_back(lines[k]);
        }
    }
    return kept;
}

// Refuses shards that are not the N slices of one run, each once and complete.
void checkShards(const std::vector<const PermutationShard*>& byIndex,
                 const std::vector<std::string>& paths, const std::vector<size_t>& pathOf) {
    const PermutationShard& one = *byIndex[0];
    const std::vector<std::string> expected = skeleton(one.table, one.observed.size());
    for (size_t k = 0; k < byIndex.size(); ++k) {
        const PermutationShard& shard = *byIndex[k];
        const std::string& path = paths[pathOf[k]];
        const int64_t p = one.requested, n = one.count, i = shard.index;
        if (shard.done < shard.size)
            die("Error: permutation shard " + path + " was stopped after " +
                std::to_string(shard.done) + " of its " + std::to_string(shard.size) +
                " permutations; run it again");
        if (shard.requested != one.requested || shard.method != one.method ||
            shard.first != (i - 1) * p / n || shard.first + shard.size != i * p / n)
            die("Error: permutation shard " + path + " splits other permutations than " +
                paths[pathOf[0]] + " (" + std::to_string(shard.requested) + " by " + shard.method +
                " against " + std::to_string(one.requested) + " by " + one.method + ")");
        if (shard.observed != one.observed ||
            skeleton(shard.table, shard.observed.size()) != expected)
            die("Error: permutation shard " + path + " holds another table than " +
                paths[pathOf[0]] +
                ": the shards of one table come from one run's input, "
                "options and seed");
    }
}

}  // namespace

void writePermutationShard(std::ostream& out, const PermutationShard& shard) {
    out << kTitle << shard.index << '/' << shard.count << '\n'
        << "slice\t" << shard.first << '\t' << shard.size << '\t' << shard.requested << '\t'
        << shard.done << '\t' << shard.method << '\n';
    writeValues(out, "observed", shard.observed);
    writeValues(out, "minima", shard.minima);
    writeCounted(out, "permuted", shard.permuted);
    out << "table\n" << shard.table;
}

PermutationShard readPermutationShard(const std::string& path) {
    ShardReader in(path);
    PermutationShard shard;
    const std::string title = in.line();
    int index = 0, count = 0, length = 0;
    if (!startsWith(title, kTitle) ||
        std::sscanf(title.c_str() + std::char_traits<char>::length(kTitle), "%d/%d%n", &index,
                    &count, &length) != 2 ||
        title.size() != std::char_traits<char>::length(kTitle) + static_cast<size_t>(length) ||
        index < 1 || index > count)
        in.fail("no shard title");
    shard.index = index;
    shard.count = count;
    const std::vector<std::string> slice = in.fields("slice", 6);
    shard.first = static_cast<int32_t>(in.number(slice[1]));
    shard.size = static_cast<int32_t>(in.number(slice[2]));
    shard.requested = static_cast<int32_t>(in.number(slice[3]));
    shard.done = static_cast<int32_t>(in.number(slice[4]));
    shard.method = slice[5];
    if (shard.method != "pool" && shard.method != "search") in.fail("unknown method");
    shard.observed = in.values("observed");
    shard.minima = in.values("minima");
    if (shard.minima.size() != static_cast<size_t>(shard.done)) in.fail("minima and done differ");
    shard.permuted = in.values("permuted", true);
    if (in.line() != "table") in.fail("expected the table line");
    for (std::string line; in.next(line);) {
        shard.table += line;
        shard.table += '\n';
    }
    // The header, then a row of every column for each module.
    const std::vector<std::string> lines = tableLines(shard.table);
    if (lines.size() <= shard.observed.size() || lines[0].rfind("module\t", 0) != 0)
        in.fail("the table lacks rows");
    for (size_t k = 1; k <= shard.observed.size(); ++k)
        if (splitAt(lines[k], '\t').size() != kColumns || lines[k][0] == '#')
            in.fail("row " + std::to_string(k) + " of the table lacks columns");
    return shard;
}

std::string mergePermutationShards(const std::vector<PermutationShard>& shards,
                                   const std::vector<std::string>& paths) {
    if (shards.empty()) die("Error: --merge-permutations needs the shard files");
    const int32_t n = shards[0].count;
    std::vector<const PermutationShard*> byIndex(static_cast<size_t>(n), nullptr);
    std::vector<size_t> pathOf(static_cast<size_t>(n), 0);
    for (size_t k = 0; k < shards.size(); ++k) {
        const PermutationShard& shard = shards[k];
        if (shard.count != n)
            die("Error: permutation shard " + paths[k] + " is one of " +
                std::to_string(shard.count) + ", " + paths[0] + " one of " + std::to_string(n));
        const auto at = static_cast<size_t>(shard.index - 1);
        if (byIndex[at])
            die("Error: permutation shards " + paths[pathOf[at]] + " and " + paths[k] +
                " are both shard " + std::to_string(shard.index) + "/" + std::to_string(n));
        byIndex[at] = &shard;
        pathOf[at] = k;
    }
    for (int32_t k = 0; k < n; ++k)
        if (!byIndex[static_cast<size_t>(k)])
            die("Error: permutation shard " + std::to_string(k + 1) + "/" + std::to_string(n) +
                " is missing");
    checkShards(byIndex, paths, pathOf);

    const PermutationShard& one = *byIndex[0];
    PermutationOutcome outcome;
    outcome.requested = outcome.done = one.requested;
    std::vector<double> permuted;
    for (const PermutationShard* shard : byIndex) {
        outcome.minima.insert(outcome.minima.end(), shard->minima.begin(), shard->minima.end());
        permuted.insert(permuted.end(), shard->permuted.begin(), shard->permuted.end());
    }
    if (one.method == "pool")
        keepMergedPValues(std::move(permuted), one.requested, one.observed.size(), outcome);
    else
        outcome.pValues.add(std::move(permuted));
    const std::vector<PermutationColumns> columns = permutationColumns(one.observed, outcome);

    std::string table;
    const std::vector<std::string> lines = tableLines(one.table);
    for (size_t k = 0; k < lines.size(); ++k) {
        if (k >= 1 && k <= columns.size()) {
            std::vector<std::string> row = splitAt(lines[k], '\t');
            row[kFwerColumn] = statsValue(columns[k - 1].fwer);
            row[kFdrColumn] = statsValue(columns[k - 1].fdr);
            row[kExactColumn] = std::string(1, columns[k - 1].exact ? '1' : '0');
            table += joined(row);
            table += '\n';
        } else if (startsWith(lines[k], "# permutations: ")) {
            table += permutationsNote(outcome.minima.size(), outcome.requested, false);
        } else if (startsWith(lines[k], "# fdr: ")) {
            table += fdrNote(outcome.pValues.summarised(), outcome.fdrExactBelow);
        } else if (!startsWith(lines[k], "# interrupted: ")) {
            table += lines[k];
            table += '\n';
        }
    }
    return table;
}
