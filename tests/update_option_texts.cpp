// Rewrites the generated option blocks of the documents (`make option-texts`): the README's
// and the user's manual's tables and the manual pages' option sections, from the option
// tables the programs parse their command lines with. Run from the project's root.
#include <fstream>
#include <iostream>
#include <sstream>

#include "OptionBlocks.hpp"

int main() {
    for (const char* path : kDocumentsWithOptions) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::cerr << "Error: cannot read " << path << " (run from the project's root)\n";
            return 1;
        }
        std::stringstream text;
        text << in.rdbuf();
        const std::string updated = withGeneratedBlocks(text.str(), optionBlock);
        if (updated == text.str()) continue;
        std::ofstream(path, std::ios::binary) << updated;
        std::cout << "updated " << path << "\n";
    }
}
