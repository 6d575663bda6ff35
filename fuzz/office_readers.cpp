// The Word, Excel and PowerPoint 2007 readers on packages held in memory,
// feeding the PDF typesetter (the file is not written). The input is cut
// at each "\n@@\n" into the parts that the readers ask for, in the order of
// the part lists below; the first byte picks the reader.
#include "engine/topdf/officexml.h"
#include "engine/topdf/typesetter.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> kDocxParts = {"word/document.xml", "word/_rels/document.xml.rels",
                                             "word/media/image1.png"};
const std::vector<std::string> kXlsxParts = {"xl/worksheets/sheet1.xml", "xl/sharedStrings.xml", "xl/styles.xml",
                                             "xl/worksheets/sheet2.xml", "xl/workbook.xml",
                                             "xl/_rels/workbook.xml.rels"};
const std::vector<std::string> kPptxParts = {
    "ppt/presentation.xml",  "ppt/_rels/presentation.xml.rels",
    "ppt/slides/slide1.xml", "ppt/slides/_rels/slide1.xml.rels",
    "ppt/slideLayouts/slideLayout1.xml", "ppt/slideLayouts/_rels/slideLayout1.xml.rels",
    "ppt/slideMasters/slideMaster1.xml", "ppt/slideMasters/_rels/slideMaster1.xml.rels",
    "ppt/theme/theme1.xml",  "ppt/diagrams/drawing1.xml",
    "ppt/slides/slide2.xml", "ppt/media/image1.png",
};

class MemoryPackage : public OfficeReaderContext {
public:
    bool readPart(const std::string& name, std::string& bytes) const override
    {
        const auto it = parts.find(name);
        if (it == parts.end())
            return false;
        bytes = it->second;
        return true;
    }

    std::map<std::string, std::string> parts;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const int kind = data[0] % 3;
    const std::vector<std::string>& names = kind == 0 ? kDocxParts : (kind == 1 ? kXlsxParts : kPptxParts);
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    MemoryPackage package;
    std::size_t start = 0;
    for (const std::string& name : names) {
        const std::size_t cut = input.find("\n@@\n", start);
        package.parts[name] = input.substr(start, cut == std::string::npos ? std::string::npos : cut - start);
        if (cut == std::string::npos)
            break;
        start = cut + 4;
    }
    OPdfDocument doc;
    doc.setupPage(kind, kind == KIND_PRESENTATION ? 11 : 8.5, kind == KIND_PRESENTATION ? 8.5 : 11,
                  43 * (2 - kind), 36 * (2 - kind), kind == KIND_TEXT ? 12 : 20);
    package.callback = docReaderCallback;
    package.user = &doc;
    if (kind == 0)
        readDocxToPdf(package);
    else if (kind == 1)
        readXlsxToPdf(package);
    else
        readPptxToPdf(package);
    return 0;
}
