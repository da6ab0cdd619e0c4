// rekul-report: a module report as TSV, hit rows, BED, GFF3 or an HTML page.
#include "Voice.hpp"
#include "rekul.hpp"

int main(int argc, char** argv) {
    speakOnStandardError();
    removeOutputsWhenStopped();
    return exitStatusOf([&] { return reportMain(argc, argv); });
}
