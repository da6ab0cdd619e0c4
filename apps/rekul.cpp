// rekul: recurrent motif modules in one sequence per gene.
#include "Pipeline.hpp"
#include "Voice.hpp"
#include "common/die.hpp"
#include "hits/HitA.hpp"
#include "modules/Tree.hpp"

int main(int argc, char** argv) {
    speakOnStandardError();
    return exitStatusOf([&] { return runPipeline<HitA, Tree>("rekul", argc, argv); });
}
