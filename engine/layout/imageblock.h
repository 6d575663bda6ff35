// Picture regions (parser objects turned into one JPEG each) and groups of
// vector graphics that a writer draws itself.
#pragma once

#include "engine/layout/block.h"

#include <string>
#include <vector>

class CollectBase;
class GraphicsCollect;
class Parser;

class ImageBlock : public Block {
public:
    // Numbers the blocks of the calling thread; reset at the start of every
    // job so that two conversions in one process name their pictures alike.
    static thread_local int imagecount;
    // Starts the numbers of one page analysed on the calling thread: its
    // blocks are numbered from 0, their drawn pictures named prefix + number.
    // Pages analysed on several threads so get the same names as in one.
    static void StartPage(const std::wstring& prefix);

    explicit ImageBlock(IWriter* writer);
    ImageBlock(const ImageBlock&) = default;
    ImageBlock& operator=(const ImageBlock&) = default;
    ~ImageBlock() override = default;

    void Write(void* ctx) override;
    bool EatBlock(Block* other) override;

    // "image/" + the picture's file name, as the output references it.
    const std::wstring& getImagePath() const { return imagePath; }
    void setImagePath(const std::wstring& path) { imagePath = path; }
    int getImageId() const { return imageId; }
    // The name of the block's own picture file, without extension: the
    // page's prefix and the block's number.
    const std::wstring& getNumberName() const { return numberName; }

    bool isContainObject(CollectBase* obj, double kx, double ky, double margin);
    // The rectangle by which isContainObject sees a text run, graphic or
    // picture (x, y its lower-left corner); false for other objects and a
    // graphic without points.
    static bool ObjectRect(CollectBase* obj, double& x, double& y, double& width, double& height);
    void addElement(CollectBase* obj);
    // Makes the picture file in the work folder; true when it was made.
    bool getImage(Parser* parser);
    void clear() { objects.clear(); }
    void clearImageFile();

    const std::vector<CollectBase*>& getObjects() const { return objects; }
    void SetPageHeight(double h) { pageHeight = h; }
    double GetPageHeight() const { return pageHeight; }
    // The page's width; with the height it keeps a copied picture on the
    // page (0: not known).
    void SetPageWidth(double w) { pageWidth = w; }

private:
    int imageId;
    std::wstring numberName;   // the name of a drawn picture, without ".jpg"
    std::wstring imagePath;
    std::string workDir;
    std::vector<CollectBase*> objects;   // owned by the parser
    double pageHeight = 0;
    double pageWidth = 0;
};

class GraphicBlock : public Block {
public:
    // Keeps its own copy of the graphic.
    GraphicBlock(GraphicsCollect* graphic, IWriter* writer);
    GraphicBlock(const GraphicBlock&) = default;
    GraphicBlock& operator=(const GraphicBlock&) = default;
    ~GraphicBlock() override;

    void Write(void* ctx) override;
    bool EatBlock(Block*) override { return false; }

    GraphicsCollect* getElement() const { return element; }
    void SetPageWidth(double w) { pageWidth = w; }
    void SetPageHeight(double h) { pageHeight = h; }
    double GetPageWidth() const { return pageWidth; }
    double GetPageHeight() const { return pageHeight; }

private:
    GraphicsCollect* element;   // owned copy
    double pageWidth = 0;
    double pageHeight = 0;
};
