#include "engine/layout/page.h"

void Page::SplitCol() {}
bool Page::TestPageColCnt(int) { return false; }
void Page::SplitRow() {}
void Page::SetBlocksCol() {}
void Page::SetBlockOverColTo1() {}
void Page::computColWidth() {}
