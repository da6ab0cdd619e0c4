// The motif reader in every format (native, JASPAR, MEME, TRANSFAC; plain or gzip), with and
// without -t. The first byte chooses the switches.
#include "FuzzInput.hpp"
#include "motif/MotifA.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    MemoryFile file(data + 1, size - 1);
    return refusalsAllowed([&] {
        Args settings;
        settings.motifFile = file.path();
        settings.useTfName = data[0] & 1;
        settings.pseudocount = (data[0] & 2) ? 0.0f : 0.375f;
        MotifA library(settings);
    });
}
