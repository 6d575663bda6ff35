// The writer half of IScrivlet: collecting the pages of a book and saving
// them as a Word 97-2003 document.

#include "wordlib/iscrivlet.h"

#include "engine/layout/book.h"
#include "engine/layout/fileutil.h"
#include "engine/layout/globalenum.h"
#include "engine/layout/imageblock.h"
#include "engine/layout/page.h"
#include "engine/layout/textblock.h"
#include "engine/layout/utf8.h"
#include "wordlib/writerstate.h"

#include <cstdio>

namespace {

// The Word library's one failure line, with what went wrong.
void LogSaveFailed(const std::string& why)
{
    std::fprintf(stderr, "Save File Failed: %s\n", why.c_str());
}

} // namespace

IScrivlet::IScrivlet() : state_(std::make_unique<scrivlet::WordWriterState>()) {}

IScrivlet::~IScrivlet() = default;

void IScrivlet::write(Book* book)
{
    std::string why;
    if (!state_->prepare(why)) {
        state_->failed = true;
        state_->failure = why;
        return;
    }
    state_->failed = false;
    state_->failure.clear();
    if (!book)
        return;
    // The collector copies what it needs of each page, so the book may let
    // a page go once the walk is past it.
    const int count = book->CountPages();
    for (int i = 0; i < count; ++i) {
        // No page: the job was cancelled, or the book ended before the pages
        // it listed. A blank page is a page, with no blocks.
        Page* page = book->GetPage(i);
        if (!page)
            break;
        page->write(nullptr);
    }
}

void IScrivlet::writePage(void* /*ctx*/, Page* page)
{
    if (!page || state_->failed)
        return;
    state_->pages.beginPage(page->GetWidth(), page->GetHeight());
    for (Block* block : page->GetBlock()) {
        if (block)
            block->Write(nullptr);
    }
    state_->pageDone();
}

void IScrivlet::writeText(void* /*ctx*/, TextBlock* block)
{
    if (block && !state_->failed)
        state_->pages.addText(*block);
}

void IScrivlet::writeImage(void* /*ctx*/, ImageBlock* block)
{
    if (block && !state_->failed)
        state_->pages.addImage(*block, GlobalEnum::tmppath + L"ImageFiles/");
}

void IScrivlet::writeGraphic(void* /*ctx*/, GraphicBlock* block)
{
    if (block && !state_->failed)
        state_->pages.addGraphic(*block);
}

void IScrivlet::writeTable(void* /*ctx*/, TableBlock* /*block*/) {}
void IScrivlet::writeTableR(void* /*ctx*/, TableBlock::TableR* /*row*/) {}
void IScrivlet::writeTableCol(void* /*ctx*/, TableBlock::TableCol* /*cell*/) {}
void IScrivlet::copyfiles(const std::string& /*path*/) {}

void IScrivlet::SetTempPath(const std::wstring& path)
{
    GlobalEnum::tmppath = path;
}

std::wstring IScrivlet::save(const std::wstring& dir, const std::wstring& name)
{
    std::wstring stem = dir + name;
    // The name keeps an extension of exactly "doc"; anything else gets
    // ".doc" after it.
    if (stem.size() >= 4 && stem.compare(stem.size() - 4, 4, L".doc") == 0)
        stem.resize(stem.size() - 4);

    std::wstring path;
    std::string why;
    if (state_->failed) {
        why = state_->failure;
    } else {
        path = ClaimOutputFile(stem, L".doc");
        if (path.empty()) {
            why = "the output file cannot be created in " + utf8::FromWide(dir);
        } else if (!state_->build(why) || !state_->writeTo(utf8::FromWide(path), why)) {
            DeleteFile(path);
            path.clear();
        }
    }
    if (path.empty())
        LogSaveFailed(why.empty() ? std::string("the document could not be written") : why);
    state_->reset();
    return path;
}
