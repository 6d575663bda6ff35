// The layout of one PDF page: its blocks in reading order, its size and its
// column analysis, built from the objects the parser reports for the page.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

class Block;
class CollectBase;
class GraphicsCollect;
class ImageBlock;
class IWriter;
class LinkCollect;
class Parser;
class TableBlock;
class TextBlock;
class TextCollect;
class lineblock;
struct line;
struct Text;
class GraphPath;

class Page {
    // Unit tests reach the private steps of the page analysis through this.
    friend class PageTestAccess;

public:
    struct PageCol {
        int index = 0;
        double width = 0;
        double left = 0;
    };

    explicit Page(IWriter* writer);
    ~Page();
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    // Reads the page's objects into blocks. False when the parser cannot
    // load the page at all (it stays blank).
    bool ParserPage(Parser* parser, int page, bool ignoreImages, bool pageAsImage,
                    bool ignoreTables, bool keepObjectOrder, bool drawGraphics);

    std::vector<Block*> GetBlock() const { return blocks; }
    std::vector<PageCol*> GetCols() const { return cols; }
    // Has the page's writer write this page with ctx.
    void write(void* ctx);

    double GetWidth() const { return width; }
    double GetHeight() const { return height; }
    void SetWidth(double w) { width = w; }
    void SetHeight(double h) { height = h; }
    bool isMultiCol() const { return colCount != 1; }
    void SortAsWord() {}
    bool PaerseAlltoImage(std::wstring& pdfPath, std::wstring& second, int page);

private:
    // Text placement and merging.
    bool addtext(TextCollect* run);
    // Merges text blocks that contain others; a yes of `stopped` (asked
    // between blocks) leaves the rest unmerged.
    void combineTextBlock(const std::function<bool()>& stopped = nullptr);
    // The whole page as one picture block.
    void makePagePicture(Parser* parser, int page);

    // Columns and row bands.
    void SplitCol();
    bool TestPageColCnt(int n);
    void SplitRow();
    void SetBlocksCol();
    void SetBlockOverColTo1();
    void computColWidth();

    // Tables from ruling lines.
    void createtables();
    bool convertlines(GraphicsCollect* graphic);
    // Whether every path of the graphic is a rectangle or upright and level
    // segments: what the table step takes as ruling lines.
    static bool IsRulingGraphic(const GraphicsCollect* graphic);
    bool rectangel(const GraphPath& path, int paintWay);
    TableBlock* createtable(lineblock* group);
    void combinelines(lineblock* group);
    void puttextintable();

    // Picture regions and links.
    void creatImages(bool ignoreTables);
    // Picture regions placed among text blocks and tables: pictures and
    // drawings (not ruling lines) with the text drawn over them; graphics
    // of regions that are no pictures go back to the table step.
    void placePictureRegions();
    void ResolveLinks(std::vector<LinkCollect*>& links);
    void AddLink(Text* text, LinkCollect* link);
    bool addimage(CollectBase* image);
    bool addgraphic(GraphicsCollect* graphic);

    std::vector<Block*> blocks;              // owned, in reading order
    std::vector<TextBlock*> textBlocks;
    // The text blocks' rectangles ordered by lower edge, so that placing a
    // run looks only at the blocks that can take it (kept by addtext).
    struct TextBlockIndex;
    std::unique_ptr<TextBlockIndex> textIndex;
    std::vector<TableBlock*> tableBlocks;
    std::vector<ImageBlock*> imageBlocks;
    std::vector<PageCol*> cols;
    std::vector<GraphicsCollect*> graphics;  // parser-owned
    std::vector<TextCollect*> textObjects;   // parser-owned
    std::vector<CollectBase*> pictureObjects;   // parser-owned
    std::vector<line*> rulingLines;          // owned
    IWriter* writer;
    double width = 0;
    double height = 0;
    double overflowLeft = 0;
    double overflowAbove = 0;
    double overflowBelow = 0;
    int colCount = 1;
    double minX = 0;
    double maxX = 0;
    bool splitColumns = true;
    bool fixedColCount = false;
    int maxCols = 3;
    bool colsAssigned = false;
};
