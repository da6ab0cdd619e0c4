// The sequence readers of both programs and the hit stage behind them: reading, the
// background composition, scanning, overlap removal and (rekulo) the conserved hits. The
// first byte chooses the program and -l.
#include "FuzzInput.hpp"
#include "hits/HitA.hpp"
#include "hits/HitAO.hpp"

namespace {

MotifA& library() {
    static const char text[] =
        ">M1\tV$AG\n1 0 0 0\n0 0 1 0\n>M2\tV$CCA\n0 1 0 0\n0 1 0 0\n1 0 0 0\n";
    static MemoryFile file(reinterpret_cast<const uint8_t*>(text), sizeof text - 1);
    static MotifA motifs = [] {
        Args settings;
        settings.motifFile = file.path();
        return MotifA(settings);
    }();
    return motifs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    MemoryFile file(data + 1, size - 1);
    return refusalsAllowed([&] {
        Args settings;
        settings.seqFile = file.path();
        settings.scoreThreshold = 1;
        settings.threads = 1;
        settings.maskLowercase = data[0] & 2;
        settings.minMotifNumber = 2;
        if (data[0] & 1)
            HitAO hits(settings, library(), Progress::silent());
        else
            HitA hits(settings, library(), Progress::silent());
    });
}
