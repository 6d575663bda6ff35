#include "engine/layout/block.h"

bool rectsOverlap(double, double, double, double, double, double, double, double) { return false; }
bool Block::SortPredicate(const Block*, const Block*) { return false; }
bool Block::isContain(Block*) { return false; }
