// rekulo: recurrent motif modules in ortholog groups, on the conserved reference hits.
#include "common/die.hpp"
#include "Pipeline.hpp"
#include "hits/HitAO.hpp"
#include "modules/Tree.hpp"

int main(int argc, char** argv) {
    return exitStatusOf([&] { return runPipeline<HitAO, TreeO>("rekulo", argc, argv); });
}
