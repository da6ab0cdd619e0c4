// rekul: recurrent motif modules in one sequence per gene.
#include "rekul.hpp"

#include "Voice.hpp"

int main(int argc, char** argv) {
    speakOnStandardError();
    removeOutputsWhenStopped();
    return exitStatusOf([&] { return rekulMain(argc, argv); });
}
