// The shard files of --permutation-shard and their merge (a file that reads as shard 1/1 is
// merged alone; one of more shards is refused as incomplete). A shard lists each distinct
// p-value with its count, which the reader expands as memory allows: inputs that claim a
// million of one value or more are skipped, as they would only measure memory.
#include <string_view>

#include "FuzzInput.hpp"
#include "modules/PermutationShard.hpp"

namespace {

// Whether a field that starts after a tab holds seven digits or more.
bool claimsMillions(std::string_view text) {
    size_t digits = 0;
    bool counting = false;
    for (char c : text) {
        const bool digit = c >= '0' && c <= '9';
        digits = counting && digit ? digits + 1 : 0;
        counting = c == '\t' || (counting && digit);
        if (digits >= 7) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (claimsMillions({reinterpret_cast<const char*>(data), size})) return 0;
    MemoryFile file(data, size);
    refusalsAllowed([&] {
        const PermutationShard shard = readPermutationShard(file.path());
        mergePermutationShards({shard}, {file.path()});
    });
    return 0;
}
