// The chapters of a book: owned in creation order, and linked by the writer
// into a chain of top-level chapters, each with its own chain of children.
// The EPUB, HTML and Word 2007 books keep their chapters this way.
#pragma once

#include <functional>
#include <string>
#include <vector>

class Chapter;
class Section;
class Page;

class ChapterBook {
public:
    ChapterBook() = default;
    virtual ~ChapterBook();
    ChapterBook(const ChapterBook&) = delete;
    ChapterBook& operator=(const ChapterBook&) = delete;

    // A new chapter of that name, kept (owned) but not linked.
    Chapter* createNewChapter(const std::string& name);
    // Links the chapter after `after`, else as the first child of `parent`,
    // else as the book's first chapter; its parent becomes `parent` and its
    // next sibling whatever held that place before.
    bool insertChapter(Chapter* parent, Chapter* after, Chapter* chapter);
    // Unlinks the chapter from its chain (`previous` is the sibling before
    // it, or null when it is the first of its chain).
    bool removeChapter(Chapter* parent, Chapter* previous, Chapter* chapter);
    // Unlinks the chapter, then forgets and deletes it.
    bool deleteChapter(Chapter* parent, Chapter* previous, Chapter* chapter);

    // One chapter per page, named by its number from 1 and linked in page
    // order; each holds what `section` makes of its page. The pages are
    // asked for in order, count of them; a null page ends the walk. `made`,
    // when given, sees every chapter once it is linked.
    void addPageChapters(int count, const std::function<Page*(int)>& pageAt,
                         const std::function<Section*(Page*)>& section,
                         const std::function<void(Chapter*)>& made = {});

    Chapter* getFirstChapter() const { return firstChapter; }
    // Every chapter made, in creation order.
    const std::vector<Chapter*>& getChapters() const { return chapters; }

protected:
    // Keeps a chapter that a derived book made (owned from then on).
    template <class C>
    C* keep(C* chapter)
    {
        chapters.push_back(chapter);
        return chapter;
    }

private:
    std::vector<Chapter*> chapters;    // owned, in creation order
    Chapter* firstChapter = nullptr;   // head of the top-level chain
};
