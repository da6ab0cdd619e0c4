// The report reader of rekul-report and every form written from what it reads: the rows,
// sorted BED, the modules' parents and closed modules, and the page; and the same bytes
// read as a grammar table.
#include <sstream>

#include "FuzzInput.hpp"
#include "report/GrammarTable.hpp"
#include "report/Html.hpp"
#include "report/ModuleFamilies.hpp"
#include "report/ReportReader.hpp"
#include "report/Writers.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryFile file(data, size);
    return refusalsAllowed([&] {
               ReportReader reader(file.path());
               GeneCoordinates coordinates;
               MotifCatalog motifs;
               const FormContext context{coordinates, &motifs,       false,
                                         false,       "probability", {"program: fuzz"}};
               HtmlPage page({3, 5, true}, coordinates, motifs);
               ModuleFamilies families;
               std::string out, bed;
               ReportModule module;
               while (reader.next(module)) {
                   for (OutputForm form :
                        {OutputForm::Tsv, OutputForm::Hits, OutputForm::Bedpe, OutputForm::Gff})
                       out += formatModuleAs(form, module, context);
                   for (OutputForm form : {OutputForm::BedInstances, OutputForm::BedHits})
                       bed += formatModuleAs(form, module, context);
                   families.add(module);
                   page.add(module, module.probability);
               }
               families.resolve();
               std::ostringstream sorted, html;
               writeSortedBed(sorted, bed);
               page.write(html, "fuzz", context.provenance);
           }) |
           refusalsAllowed([&] {
               const GrammarTable table(file.path());
               (void)table.modules();
           });
}
