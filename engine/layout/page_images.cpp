#include "engine/layout/page.h"

#include "engine/layout/imageblock.h"
#include "parser/parser.h"

void Page::creatImages(bool) {}
void Page::ResolveLinks(std::vector<LinkCollect*>&) {}
void Page::AddLink(Text*, LinkCollect*) {}
bool Page::addimage(CollectBase*) { return false; }
bool Page::addgraphic(GraphicsCollect* graphic)
{
    graphics.push_back(graphic);
    return true;
}
bool Page::PaerseAlltoImage(std::wstring&, std::wstring&, int) { return false; }
