// rekul-scan: the instances of a report's modules on other sequences or a genome.
#include "Voice.hpp"
#include "rekul.hpp"

int main(int argc, char** argv) {
    speakOnStandardError();
    removeOutputsWhenStopped();
    return exitStatusOf([&] { return scanMain(argc, argv); });
}
