#include "engine/layout/textblock.h"

#include "engine/layout/iwriter.h"

bool TextSortPredicate(const Text*, const Text*) { return false; }
Text* scaleText(const Text*, double, double, double) { return nullptr; }

TextBlock::TextBlock(IWriter* writer) : Block(writer) {}

TextBlock::~TextBlock()
{
    destory();
}

void TextBlock::Write(void* ctx)
{
    writer->writeText(ctx, this);
}

bool TextBlock::EatBlock(Block*) { return false; }
bool TextBlock::addElement(TextCollect*, double, double) { return false; }
void TextBlock::parserLatinWords() {}
void TextBlock::CombineElements() {}
void TextBlock::moveX(double) {}
void TextBlock::moveY(double) {}

void TextBlock::destory()
{
    for (Text* t : elements)
        delete t;
    elements.clear();
    cursor = 0;
}
