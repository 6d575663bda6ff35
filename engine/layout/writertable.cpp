#include "engine/layout/writertable.h"

#include "engine/layout/iwriter.h"
#include "engine/layout/utf8.h"
#include "engine/writers/docx/word07writer.h"
#include "engine/writers/epub/epubwriter.h"
#include "engine/writers/html/htmlwriter.h"
#include "engine/writers/text/txtwriter.h"

#include <fstream>

bool ReadDrawGraphicSwitch(const std::wstring& exePath)
{
    std::wstring folder = exePath;
    if (!folder.empty() && (folder.back() == L'/' || folder.back() == L'\\'))
        folder.pop_back();
    std::ifstream in(utf8::Path(folder + L"/config.txt"));
    std::string key, value;
    while (in >> key >> value) {
        if (key == "DrawGraphic:" && value == "true")
            return true;
    }
    return false;
}

std::unique_ptr<IWriter> MakeWriter(Basedata_w& item, const std::wstring& tmpDir,
                                    BookOptions& options)
{
    options = BookOptions{};
    switch (item.type) {
    case 1:   // EPUB
        options.ignoreImages = item.epubIgnoreImg;
        options.pageAsImage = item.convertKind;
        return std::make_unique<EpubWriter>(item.exePath);
    case 2:   // HTML
        options.ignoreImages = item.htmlIgnoreImg;
        options.ignoreTables = true;
        options.keepObjectOrder = true;
        return std::make_unique<HtmlWriter>(1.5);
    case 3:   // plain text
        options.ignoreImages = true;
        options.ignoreTables = true;
        return std::make_unique<TxtWriter>();
    case 5:   // Word 97-2003
    case 6:   // Word 2007
        options.ignoreTables = true;
        if (item.convertKind) {
            // With the switch off every page is one picture.
            options.keepObjectOrder = false;
            options.drawGraphics = ReadDrawGraphicSwitch(item.exePath);
            options.pageAsImage = !options.drawGraphics;
        } else {
            options.keepObjectOrder = true;
            options.drawGraphics = true;
        }
        if (item.type == 6)
            return std::make_unique<Word07Writer>(&item.wordOp);
        return MakeWord97Writer(tmpDir);
    default:
        return nullptr;
    }
}
