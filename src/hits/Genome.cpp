// The genome through htslib's faidx: the index loaded, built beside the genome or built for the
// run in a temporary folder, checked against the file before use, and letters fetched per region.
#include "hits/Genome.hpp"

#include <fcntl.h>
#include <htslib/faidx.h>
#include <htslib/hts.h>
#include <htslib/hts_log.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "common/Log.hpp"
#include "common/Text.hpp"
#include "common/die.hpp"
#include "hits/GenomeIndex.hpp"

namespace {

// htslib's own messages stay quiet: every failure is told here, naming the genome.
struct QuietLibrary {
    QuietLibrary() : level(hts_get_log_level()) { hts_set_log_level(HTS_LOG_OFF); }
    ~QuietLibrary() { hts_set_log_level(level); }
    htsLogLevel level;
};

bool exists(const std::string& path, struct stat& info) {
    return ::stat(path.c_str(), &info) == 0;
}

// The first bytes of a file, to tell a bgzip genome from a plain gzip one.
bool isGzip(const std::string& path, bool& bgzf) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    unsigned char head[16] = {};
    const size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    const bool gzip = got >= 2 && head[0] == 0x1f && head[1] == 0x8b;
    // bgzip writes an extra field "BC" in every block's header.
    bgzf = gzip && got >= 14 && (head[3] & 4) && head[12] == 'B' && head[13] == 'C';
    return gzip;
}

// A temporary folder for an index of this run alone, removed when done.
class TemporaryFolder {
  public:
    TemporaryFolder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/rekul-index-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            die("Error: cannot make a temporary folder for the genome's index in " + pattern);
        path_ = pattern;
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

[[noreturn]] void dieUnindexable(const std::string& shown) {
    die("Error: cannot index the genome " + shown +
        ": it is not a FASTA file whose lines of each sequence have one length");
}

}  // namespace

std::string genomeIndexPath(const std::string& genome, const std::string& suffix) {
    return genome.empty() || genome == "-" ? "" : genome + suffix;
}

// A sequence named twice could be read as either: refused. Returns what else does not match.
std::string Genome::refuseDuplicate(const IndexCheck& check) const {
    if (!check.duplicate.empty())
        die("Error: the genome " + printable(path_) +
            " holds two sequences of one name: " + check.duplicate + "; name each sequence once");
    return check.mismatch;
}

Genome::Genome(const std::string& path) : path_(path) {
    open();
}

Genome::~Genome() {
    if (index_) fai_destroy(index_);
    if (mapped_) ::munmap(const_cast<char*>(mapped_), mappedSize_);
}

void Genome::mapLetters(const std::string& fai) {
    std::ifstream in(fai, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> fields = splitAt(line, '\t');
        Layout layout;
        if (fields.size() < 5 || !parseInt64(fields[2], layout.offset) ||
            !parseInt64(fields[3], layout.lineBases) || !parseInt64(fields[4], layout.lineWidth) ||
            layout.lineBases <= 0 || layout.lineWidth < layout.lineBases) {
            layout_.clear();  // not one we can cut from: faidx fetches instead
            return;
        }
        layout_.push_back(layout);
    }
    const int descriptor = ::open(path_.c_str(), O_RDONLY);
    struct stat info {};
    if (descriptor < 0 || ::fstat(descriptor, &info) != 0 || info.st_size == 0) {
        if (descriptor >= 0) ::close(descriptor);
        layout_.clear();
        return;
    }
    void* mapping =
        ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE, descriptor, 0);
    ::close(descriptor);
    if (mapping == MAP_FAILED) {
        layout_.clear();
        return;
    }
    mapped_ = static_cast<const char*>(mapping);
    mappedSize_ = static_cast<size_t>(info.st_size);
}

void Genome::open() {
    const QuietLibrary quiet;
    const std::string shown = printable(path_);
    struct stat genome {};
    if (!exists(path_, genome) || !S_ISREG(genome.st_mode))
        dieIo("Error: cannot open the genome " + shown + ": it is not a file");
    bool bgzf = false;
    if (isGzip(path_, bgzf) && !bgzf)
        die("Error: the genome " + shown +
            " is gzip-compressed but not with bgzip, so its letters cannot be reached without "
            "reading it all: recompress it with bgzip, or decompress it");
    const std::string fai = genomeIndexPath(path_, ".fai");
    const std::string gzi = genomeIndexPath(path_, ".gzi");
    struct stat index {};
    const bool indexed = exists(fai, index) && (!bgzf || exists(gzi, index));
    const bool stale = indexed && exists(fai, index) && index.st_mtime < genome.st_mtime;
    const std::string folder = std::filesystem::path(path_).parent_path().string();
    const bool writable = ::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0;
    // The index is checked against the genome wherever it comes from: one made for another
    // version of the file is replaced for this run, and a name given twice is refused.
    std::string mismatch;
    if (indexed && !stale) {
        index_ = fai_load3(path_.c_str(), fai.c_str(), bgzf ? gzi.c_str() : nullptr, 0);
        if (index_) mismatch = refuseDuplicate(checkGenomeIndex(path_, fai, bgzf ? gzi : ""));
    } else if (!indexed && writable) {
        index_ = fai_load3(path_.c_str(), fai.c_str(), bgzf ? gzi.c_str() : nullptr, FAI_CREATE);
        if (index_) mismatch = refuseDuplicate(checkGenomeIndex(path_, fai, bgzf ? gzi : ""));
        if (!mismatch.empty()) dieUnindexable(shown);
    }
    const bool besideIndex = index_ != nullptr && mismatch.empty();
    if (index_ == nullptr || !mismatch.empty()) {
        if (index_) fai_destroy(index_);
        index_ = nullptr;
        const std::string why =
            !mismatch.empty() ? "the index " + printable(fai) + " does not match the genome " +
                                    shown + " (" + mismatch + ")"
            : stale ? "the index " + printable(fai) + " is older than the genome " + shown
                    : "cannot write an index beside the genome " + shown;
        warn(why + "; an index is built for this run alone (samtools faidx " + shown +
             " writes one)");
        const TemporaryFolder temporary;
        const std::string ownFai = temporary.path() + "/genome.fai";
        const std::string ownGzi = temporary.path() + "/genome.gzi";
        if (fai_build3(path_.c_str(), ownFai.c_str(), bgzf ? ownGzi.c_str() : nullptr) == 0) {
            index_ = fai_load3(path_.c_str(), ownFai.c_str(), bgzf ? ownGzi.c_str() : nullptr, 0);
            const IndexCheck own = checkGenomeIndex(path_, ownFai, bgzf ? ownGzi : "");
            if (index_ && !refuseDuplicate(own).empty()) dieUnindexable(shown);
            if (index_ && !bgzf) mapLetters(ownFai);  // before the folder goes
        }
    }
    if (index_ == nullptr) dieUnindexable(shown);
    if (!bgzf && besideIndex) mapLetters(fai);
    for (int c = 0; c < faidx_nseq(index_); ++c) {
        names_.emplace_back(faidx_iseq(index_, c));
        lengths_.push_back(faidx_seq_len(index_, names_.back().c_str()));
        byName_.emplace(names_.back(), names_.size() - 1);
    }
}

int64_t Genome::find(const std::string& name) const {
    const auto it = byName_.find(name);
    return it == byName_.end() ? -1 : static_cast<int64_t>(it->second);
}

std::string Genome::fetch(size_t c, int64_t start, int64_t end) const {
    if (mapped_ && layout_.size() == names_.size()) return cut(c, start, end);
    if (index_ && faidx_nseq(index_) > 0 && !mapped_) {
        return cachedLetters(c, start, end);
    }
    const QuietLibrary quiet;
    hts_pos_t got = 0;
    char* letters = faidx_fetch_seq64(index_, names_[c].c_str(), start, end - 1, &got);
    if (letters == nullptr || got != end - start) {
        std::free(letters);
        dieIo("Error: cannot read " + printable(names_[c]) + ":" + std::to_string(start) + "-" +
              std::to_string(end) + " from the genome " + printable(path_));
    }
    std::string text(letters, static_cast<size_t>(got));
    std::free(letters);
    return text;
}

std::string Genome::cut(size_t c, int64_t start, int64_t end) const {
    const Layout& layout = layout_[c];
    std::string text;
    text.reserve(static_cast<size_t>(end - start));
    for (int64_t at = start; at < end;) {
        const int64_t inLine = at % layout.lineBases;
        const int64_t take = std::min(end - at, layout.lineBases - inLine);
        const int64_t offset = layout.offset + (at / layout.lineBases) * layout.lineWidth + inLine;
        if (offset < 0 || static_cast<size_t>(offset + take) > mappedSize_)
            dieIo("Error: cannot read " + printable(names_[c]) + ":" + std::to_string(start) + "-" +
                  std::to_string(end) + " from the genome " + printable(path_) +
                  ": the file is shorter than its index says");
        text.append(mapped_ + offset, static_cast<size_t>(take));
        at += take;
    }
    return text;
}

std::string Genome::cachedLetters(size_t c, int64_t start, int64_t end) const {
    constexpr int64_t kKeptLetters = int64_t{4} << 30;
    std::lock_guard<std::mutex> lock(loading_);
    if (loaded_.empty()) loaded_.resize(names_.size());
    recent_.remove(c);
    recent_.push_front(c);
    if (loaded_[c].empty() && lengths_[c] > 0) {
        const QuietLibrary quiet;
        hts_pos_t got = 0;
        char* letters = faidx_fetch_seq64(index_, names_[c].c_str(), 0, lengths_[c] - 1, &got);
        if (letters == nullptr || got != lengths_[c]) {
            std::free(letters);
            dieIo("Error: cannot read " + printable(names_[c]) + " from the genome " +
                  printable(path_));
        }
        loaded_[c].assign(letters, static_cast<size_t>(got));
        std::free(letters);
        loadedLetters_ += got;
        // The least recently used chromosomes go first, never the one asked for.
        while (loadedLetters_ > kKeptLetters && recent_.size() > 1) {
            const size_t old = recent_.back();
            recent_.pop_back();
            loadedLetters_ -= static_cast<int64_t>(loaded_[old].size());
            std::string().swap(loaded_[old]);
        }
    }
    return loaded_[c].substr(static_cast<size_t>(start), static_cast<size_t>(end - start));
}

std::string reverseComplement(std::string text) {
    std::reverse(text.begin(), text.end());
    static const std::string from = "ACGTUNRYKMBVDHSWacgtunrykmbvdhsw";
    static const std::string to = "TGCAANYRMKVBHDSWtgcaanyrmkvbhdsw";
    for (char& letter : text)
        if (const size_t at = from.find(letter); at != std::string::npos) letter = to[at];
    return text;
}
