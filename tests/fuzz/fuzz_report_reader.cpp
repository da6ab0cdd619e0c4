// The report reader of rekul-report and every form written from what it reads.
#include <sstream>

#include "FuzzInput.hpp"
#include "report/Html.hpp"
#include "report/ReportReader.hpp"
#include "report/Writers.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryFile file(data, size);
    return refusalsAllowed([&] {
        ReportReader reader(file.path());
        GeneCoordinates coordinates;
        HtmlPage page({3, 5, true}, coordinates);
        std::string out;
        ReportModule module;
        while (reader.next(module)) {
            for (OutputForm form : {OutputForm::Tsv, OutputForm::Hits, OutputForm::BedInstances,
                                    OutputForm::BedHits, OutputForm::Gff})
                out += formatModuleAs(form, module, coordinates);
            page.add(module, module.probability);
        }
        std::ostringstream html;
        page.write(html, "fuzz");
    });
}
