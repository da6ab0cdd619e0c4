// rekulo: recurrent motif modules in ortholog groups, on the conserved reference hits.
#include "Pipeline.hpp"
#include "Voice.hpp"
#include "common/die.hpp"
#include "hits/HitAO.hpp"
#include "modules/Tree.hpp"

int main(int argc, char** argv) {
    speakOnStandardError();
    return exitStatusOf([&] { return runPipeline<HitAO, TreeO>("rekulo", argc, argv); });
}
