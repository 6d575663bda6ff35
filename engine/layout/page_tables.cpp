#include "engine/layout/page.h"

#include "engine/layout/tableblock.h"
#include "parser/parser.h"

void Page::createtables() {}
bool Page::convertlines(GraphicsCollect*) { return false; }
bool Page::rectangel(const GraphPath&, int) { return false; }
TableBlock* Page::createtable(lineblock*) { return nullptr; }
void Page::combinelines(lineblock*) {}
void Page::puttextintable() {}
