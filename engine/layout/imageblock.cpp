#include "engine/layout/imageblock.h"

#include "engine/layout/iwriter.h"
#include "parser/parser.h"

int ImageBlock::imagecount = 0;

ImageBlock::ImageBlock(IWriter* writer) : Block(writer), imageId(imagecount++)
{
    dim = 1.0;
}

void ImageBlock::Write(void* ctx)
{
    writer->writeImage(ctx, this);
}

bool ImageBlock::EatBlock(Block*) { return false; }
bool ImageBlock::isContainObject(CollectBase*, double, double, double) { return false; }
void ImageBlock::addElement(CollectBase*) {}
bool ImageBlock::getImage(Parser*) { return false; }
void ImageBlock::clearImageFile() {}

GraphicBlock::GraphicBlock(GraphicsCollect* graphic, IWriter* writer)
    : Block(writer), element(new GraphicsCollect(*graphic))
{
}

GraphicBlock::~GraphicBlock()
{
    delete element;
}

void GraphicBlock::Write(void* ctx)
{
    writer->writeGraphic(ctx, this);
}
