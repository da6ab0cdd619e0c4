// The index check: the .fai parsed, its entries walked in offset order, and a few bytes read at
// each sequence's start and end (pread, or bgzf_useek through the .gzi).
#include "hits/GenomeIndex.hpp"

#include <fcntl.h>
#include <htslib/bgzf.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <unordered_map>
#include <vector>

#include "common/Text.hpp"

namespace {

struct IndexEntry {
    std::string name;
    int64_t length = 0, offset = 0, lineBases = 0, lineWidth = 0;
    long line = 0;  // of the .fai
};

// No genome file is larger: fields beyond it are no index of one.
constexpr int64_t kLargest = int64_t{1} << 50;

// The entries of a .fai, or none with `bad` set where a line is not one. The index is read
// as plain bytes: whatever it holds, a line that is no entry is a mismatch, never a refusal.
std::vector<IndexEntry> readIndex(const std::string& fai, std::string& bad) {
    std::vector<IndexEntry> entries;
    std::ifstream in(fai, std::ios::binary);
    if (!in) {
        bad = "the index cannot be read";
        return {};
    }
    std::string line;
    for (long number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::vector<std::string> fields = splitAt(line, '\t');
        IndexEntry entry;
        entry.line = number;
        if (fields.size() < 5 || fields[0].empty() || !parseInt64(fields[1], entry.length) ||
            !parseInt64(fields[2], entry.offset) || !parseInt64(fields[3], entry.lineBases) ||
            !parseInt64(fields[4], entry.lineWidth) || entry.length < 0 || entry.offset < 1 ||
            entry.lineBases < 0 || entry.lineWidth < entry.lineBases ||
            std::max({entry.length, entry.offset, entry.lineWidth}) > kLargest ||
            (entry.length > 0 && entry.lineBases < 1)) {
            bad = "line " + std::to_string(entry.line) + " of the index is not a faidx entry";
            return {};
        }
        entry.name = fields[0];
        entries.push_back(std::move(entry));
    }
    return entries;
}

// The genome's bytes at any offset of its letters as stored (uncompressed): pread on a plain
// file, the .gzi's block offsets on a bgzip one.
class GenomeBytes {
  public:
    GenomeBytes(const std::string& genome, const std::string& gzi) {
        if (gzi.empty()) {
            fd_ = ::open(genome.c_str(), O_RDONLY);
            return;
        }
        bgzf_ = bgzf_open(genome.c_str(), "r");
        if (bgzf_ && bgzf_index_load(bgzf_, gzi.c_str(), nullptr) != 0) {
            bgzf_close(bgzf_);
            bgzf_ = nullptr;
        }
    }
    ~GenomeBytes() {
        if (fd_ >= 0) ::close(fd_);
        if (bgzf_) bgzf_close(bgzf_);
    }
    GenomeBytes(const GenomeBytes&) = delete;
    GenomeBytes& operator=(const GenomeBytes&) = delete;

    bool open() const { return fd_ >= 0 || bgzf_ != nullptr; }

    // Up to `count` bytes from `at`; fewer at the end of the file.
    std::string read(int64_t at, size_t count) {
        std::string bytes(count, '\0');
        ssize_t got = -1;
        if (fd_ >= 0) {
            got = ::pread(fd_, bytes.data(), count, at);
        } else if (bgzf_useek(bgzf_, at, SEEK_SET) == 0) {
            got = bgzf_read(bgzf_, bytes.data(), count);
        }
        bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
        return bytes;
    }

    // The number of the line that starts at `at` (1-based), counting the line ends before it.
    long lineAt(int64_t at) {
        long line = 1;
        constexpr size_t kChunk = size_t{1} << 20;
        for (int64_t from = 0; from < at;) {
            const std::string chunk =
                read(from, static_cast<size_t>(std::min<int64_t>(kChunk, at - from)));
            if (chunk.empty()) break;
            line += static_cast<long>(std::count(chunk.begin(), chunk.end(), '\n'));
            from += static_cast<int64_t>(chunk.size());
        }
        return line;
    }

  private:
    int fd_ = -1;
    BGZF* bgzf_ = nullptr;
};

bool lineEnd(char c) {
    return c == '\n' || c == '\r';
}

// The name of the title line that starts at `at` ('>' and the name up to a blank).
std::string titleNameAt(GenomeBytes& bytes, int64_t at) {
    const std::string head = bytes.read(at, 4096);
    size_t end = 1;
    while (end < head.size() && !lineEnd(head[end]) && head[end] != ' ' && head[end] != '\t') ++end;
    return head.size() > 1 ? head.substr(1, end - 1) : "";
}

// Whether the line that ends just before `offset` is the title of `name`.
bool titledAt(GenomeBytes& bytes, const IndexEntry& entry) {
    const int64_t from = std::max<int64_t>(0, entry.offset - 4096);
    const std::string before = bytes.read(from, static_cast<size_t>(entry.offset - from));
    if (before.empty() || before.back() != '\n') return false;
    const size_t previous = before.find_last_of('\n', before.size() - 2);
    const size_t start = previous == std::string::npos ? 0 : previous + 1;
    if (previous == std::string::npos && from > 0) return true;  // a title longer than we read
    const std::string title = before.substr(start);
    const std::string mark = ">" + entry.name;
    return title.rfind(mark, 0) == 0 && (title.size() == mark.size() || title[mark.size()] == ' ' ||
                                         title[mark.size()] == '\t' || lineEnd(title[mark.size()]));
}

// The offset just past the entry's last letter, or -1 where it lies beyond any file.
int64_t endOf(const IndexEntry& entry) {
    if (entry.length == 0) return entry.offset;
    const int64_t last = entry.length - 1;
    int64_t lines = 0;
    if (__builtin_mul_overflow(last / entry.lineBases, entry.lineWidth, &lines) || lines > kLargest)
        return -1;
    return entry.offset + lines + last % entry.lineBases + 1;
}

}  // namespace

IndexCheck checkGenomeIndex(const std::string& genome, const std::string& fai,
                            const std::string& gzi) {
    IndexCheck check;
    auto mismatch = [&check](const std::string& what) {
        check.matches = false;
        check.mismatch = what;
        return check;
    };
    std::string bad;
    std::vector<IndexEntry> entries = readIndex(fai, bad);
    if (!bad.empty()) return mismatch(bad);
    GenomeBytes bytes(genome, gzi);
    if (!bytes.open()) return mismatch("the genome cannot be read at the index's offsets");
    std::unordered_map<std::string, int64_t> titleOf;
    for (const IndexEntry& entry : entries) titleOf.emplace(entry.name, entry.offset);
    std::sort(entries.begin(), entries.end(),
              [](const IndexEntry& a, const IndexEntry& b) { return a.offset < b.offset; });
    for (size_t i = 0; i < entries.size(); ++i) {
        const IndexEntry& entry = entries[i];
        const std::string where = "sequence " + printable(entry.name) + " (line " +
                                  std::to_string(entry.line) + " of the index)";
        if (!titledAt(bytes, entry)) return mismatch(where + " does not start after its title");
        if (entry.length > entry.lineBases) {
            const std::string lineBreak = bytes.read(entry.offset + entry.lineWidth - 1, 1);
            if (lineBreak != "\n") return mismatch(where + " has lines of another length");
        }
        const int64_t end = endOf(entry);
        if (end < 0) return mismatch(where + " is longer than any file");
        const std::string last = bytes.read(end - 1, 1);
        if (entry.length > 0 && (last.empty() || lineEnd(last[0]) || last[0] == '>'))
            return mismatch(where + " is shorter than the index says");
        // After the letters: line ends, then the next indexed title or the end of the file.
        int64_t at = end;
        std::string after = bytes.read(at, 4096);
        size_t skip = 0;
        while (skip < after.size() && lineEnd(after[skip])) ++skip;
        at += static_cast<int64_t>(skip);
        if (skip == after.size() && after.size() < 4096) {
            if (i + 1 == entries.size()) continue;
            return mismatch(where + " is followed by the end of the file, not by the next one");
        }
        if (skip < after.size() && after[skip] != '>')
            return mismatch(where + " is longer than the index says");
        if (i + 1 < entries.size() && titledAt(bytes, entries[i + 1]) &&
            titleNameAt(bytes, at) == entries[i + 1].name)
            continue;
        // A title the index does not describe: a second sequence of an indexed name, or a file
        // that is not the one indexed.
        const std::string name = titleNameAt(bytes, at);
        const auto first = titleOf.find(name);
        if (first != titleOf.end() && first->second < at) {
            const long firstLine = bytes.lineAt(first->second) - 1;
            check.matches = false;
            check.duplicate = "the chromosome " + printable(name) + " is named on line " +
                              std::to_string(firstLine) + " and again on line " +
                              std::to_string(bytes.lineAt(at));
            return check;
        }
        return mismatch("the title " + printable(">" + name) + " is not where the index says");
    }
    return check;
}
