// rekul-report: a module report as TSV, hit rows, BED, GFF3 or an HTML page.
#include "Voice.hpp"
#include "common/die.hpp"
#include "report/ReportMain.hpp"

int main(int argc, char** argv) {
    speakOnStandardError();
    return exitStatusOf([&] { return reportMain(argc, argv); });
}
