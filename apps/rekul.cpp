// rekul: recurrent motif modules in one sequence per gene.
#include "Pipeline.hpp"
#include "hits/HitA.hpp"
#include "modules/Tree.hpp"

int main(int argc, char** argv) {
    return runPipeline<HitA, Tree>("rekul", argc, argv);
}
