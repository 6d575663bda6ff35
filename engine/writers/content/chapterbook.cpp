#include "engine/writers/content/chapterbook.h"

#include "engine/layout/strutil.h"
#include "engine/writers/content/chapter.h"

#include <algorithm>

ChapterBook::~ChapterBook()
{
    for (Chapter* chapter : chapters)
        delete chapter;
}

Chapter* ChapterBook::createNewChapter(const std::string& name)
{
    return keep(new Chapter(name));
}

void ChapterBook::addPageChapters(int count, const std::function<Page*(int)>& pageAt,
                                  const std::function<Section*(Page*)>& section,
                                  const std::function<void(Chapter*)>& made)
{
    Chapter* previous = nullptr;
    int n = 1;
    for (int i = 0; i < count; ++i) {
        Page* page = pageAt(i);
        if (!page)
            break;   // cancelled
        Chapter* chapter = createNewChapter(int2str(n++));
        chapter->AddContent(section(page));
        insertChapter(nullptr, previous, chapter);
        previous = chapter;
        if (made)
            made(chapter);
    }
}

bool ChapterBook::insertChapter(Chapter* parent, Chapter* after, Chapter* chapter)
{
    if (!chapter)
        return false;
    chapter->setParent(parent);
    if (after) {
        chapter->setSibling(after->getSibling());
        after->setSibling(chapter);
    } else if (parent) {
        chapter->setSibling(parent->getFirstChild());
        parent->setFirstChild(chapter);
    } else {
        chapter->setSibling(firstChapter);
        firstChapter = chapter;
    }
    return true;
}

bool ChapterBook::removeChapter(Chapter* parent, Chapter* previous, Chapter* chapter)
{
    if (!chapter)
        return false;
    if (previous) {
        previous->setSibling(chapter->getSibling());
    } else if (parent) {
        parent->setFirstChild(chapter->getSibling());
    } else if (firstChapter == chapter) {
        firstChapter = chapter->getSibling();
    }
    chapter->setSibling(nullptr);
    chapter->setParent(nullptr);
    return true;
}

bool ChapterBook::deleteChapter(Chapter* parent, Chapter* previous, Chapter* chapter)
{
    if (!removeChapter(parent, previous, chapter))
        return false;
    auto it = std::find(chapters.begin(), chapters.end(), chapter);
    if (it != chapters.end()) {
        chapters.erase(it);
        delete chapter;
    }
    return true;
}
