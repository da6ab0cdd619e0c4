// The discovery stages of the two programs: Tree reads the hits of rekul, TreeO the conserved
// hits of rekulo; both run the one Discovery.
#pragma once

#include "hits/HitA.hpp"
#include "hits/HitAO.hpp"
#include "modules/Discovery.hpp"

class Tree : public Discovery {
  public:
    Tree(Args settings, HitA& hits, std::ostream& report = std::cout,
         Progress progress = Progress(), ModuleOutput output = ModuleOutput::Report)
        : Discovery(settings, hits, report, progress, output) {}
};

class TreeO : public Discovery {
  public:
    TreeO(Args settings, HitAO& hits, std::ostream& report = std::cout,
          Progress progress = Progress(), ModuleOutput output = ModuleOutput::Report)
        : Discovery(settings, hits, report, progress, output) {}
};
