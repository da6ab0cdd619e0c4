// The command line: the input is split at NUL bytes into arguments. Help and version end the
// process by design, so inputs that ask for them are skipped.
#include <getopt.h>

#include <vector>

#include "FuzzInput.hpp"
#include "common/Args.hpp"
#include "common/Text.hpp"

namespace {

bool asksToStop(const std::string& arg) {
    if (arg.rfind("--h", 0) == 0 || arg.rfind("--v", 0) == 0 || arg == "--") return true;
    return arg.size() > 1 && arg[0] == '-' && arg[1] != '-' && arg.find('h') != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> words =
        splitAt(std::string(reinterpret_cast<const char*>(data), size), '\0');
    words.insert(words.begin(), "rekul");
    for (const std::string& arg : words)
        if (asksToStop(arg)) return 0;
    std::vector<char*> argv;
    for (std::string& arg : words) argv.push_back(arg.data());
    argv.push_back(nullptr);
    optind = 0;
    opterr = 0;
    return refusalsAllowed([&] { Args settings(static_cast<int>(words.size()), argv.data()); });
}
