// rekulo: recurrent motif modules in ortholog groups, on the conserved reference hits.
#include "Pipeline.hpp"
#include "hits/HitAO.hpp"
#include "modules/Tree.hpp"

int main(int argc, char** argv) {
    return runPipeline<HitAO, TreeO>("rekulo", argc, argv);
}
