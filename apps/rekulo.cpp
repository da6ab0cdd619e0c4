// rekulo: recurrent motif modules in ortholog groups, on the conserved reference hits.
#include "Voice.hpp"
#include "rekul.hpp"

int main(int argc, char** argv) {
    speakOnStandardError();
    removeOutputsWhenStopped();
    return exitStatusOf([&] { return rekuloMain(argc, argv); });
}
