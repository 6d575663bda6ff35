// Writes the HTML viewers that the browser test opens, and prints where they
// are and what they must show as one JSON object on standard output.
//
//   html_viewer_fixture --resources DIR --out DIR [--text PDF]... [--pictures PDF]...
//
// "built": a hand-made book of 12 pages: page 1 holds the worked example, a
// non-ASCII line and a coloured line; pages 2 to 10 one line each; page 11
// only a picture; page 12 is a very large page (14400 points square) with
// text at two far corners. "empty": a book without pages. "text" and
// "pictures": whole conversions of the PDFs given (output type 2, with the
// pictures left out, or every page as a picture).

#include "engine/layout/entry.h"
#include "engine/layout/globalenum.h"
#include "engine/layout/imageblock.h"
#include "engine/layout/jobrecords.h"
#include "engine/layout/strutil.h"
#include "engine/layout/textblock.h"
#include "engine/layout/utf8.h"
#include "engine/writers/content/chapter.h"
#include "engine/writers/html/htmlbook.h"
#include "engine/writers/html/htmlcontent.h"
#include "engine/writers/html/htmlwriter.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Line {
    std::string text;
    double x, y, height, size;
    double r = 0, g = 0, b = 0;
    bool bold = false;
};

struct Expected {
    int page;
    std::string text;
    double top, left, fontSize;
};

std::string Json(const std::string& s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string Number(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

class BuiltBook {
public:
    explicit BuiltBook(HtmlWriter& w) : writer(w) { writer.write(nullptr); }

    void page(double width, double height, const std::vector<Line>& lines,
              const std::wstring& picture = L"", double px = 0, double py = 0, double pw = 0,
              double ph = 0)
    {
        ++count;
        HtmlBook* book = writer.getBook();
        Chapter* chapter = book->createNewChapter(int2str(count));
        auto* section = new HtmlSection(1.5);
        section->SetWidth(width);
        section->SetHeight(height);
        auto block = std::make_unique<TextBlock>(&writer);
        for (const Line& l : lines) {
            auto* t = new Text;
            t->text = l.text;
            t->fontName = "Helvetica";
            t->x = l.x;
            t->y = l.y;
            t->height = l.height;
            t->fontSize = l.size;
            t->pageHeight = height;
            t->color[0] = l.r;
            t->color[1] = l.g;
            t->color[2] = l.b;
            t->bold = l.bold;
            block->addText(t);
            expected.push_back({count, l.text, (height - l.y - l.height) * 1.5, l.x * 1.5, l.size * 1.5});
        }
        block->Write(static_cast<ObjectInfo*>(section));
        if (!picture.empty()) {
            auto image = std::make_unique<ImageBlock>(&writer);
            image->setPosition(px, py);
            image->setWidth(pw);
            image->setHeight(ph);
            image->setImagePath(picture);
            image->Write(static_cast<ObjectInfo*>(section));
            pictureJson = "{\"page\":" + std::to_string(count) + ",\"src\":" +
                          Json(utf8::FromWide(picture)) + ",\"top\":" +
                          Number((height - py - ph) * 1.5) + ",\"left\":" + Number(px * 1.5) +
                          ",\"width\":" + Number(pw * 1.5) + ",\"height\":" + Number(ph * 1.5) + "}";
        }
        chapter->AddContent(section);
        book->insertChapter(nullptr, previous, chapter);
        previous = chapter;
    }

    std::string expectations() const
    {
        std::string out = "[";
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const Expected& e = expected[i];
            out += std::string(i ? "," : "") + "{\"page\":" + std::to_string(e.page) +
                   ",\"text\":" + Json(e.text) + ",\"top\":" + Number(e.top) +
                   ",\"left\":" + Number(e.left) + ",\"fontSize\":" + Number(e.fontSize) + "}";
        }
        return out + "]";
    }

    std::string pictureJson = "null";

private:
    HtmlWriter& writer;
    Chapter* previous = nullptr;
    int count = 0;
    std::vector<Expected> expected;
};

std::string WriteBuilt(const fs::path& out, const fs::path& resources, std::string& expectations,
                       std::string& picture)
{
    // The picture of page 11 lies in the work folder's ImageFiles, where
    // the engine puts the pictures it renders.
    fs::create_directories(utf8::Path(GlobalEnum::tmppath) / "ImageFiles");
    fs::copy_file(resources / "htmltemplate" / "gif" / "page.gif",
                  utf8::Path(GlobalEnum::tmppath) / "ImageFiles" / "pic.gif",
                  fs::copy_options::overwrite_existing);

    HtmlWriter writer;
    BuiltBook book(writer);
    Line heading{"Heading", 72, 700, 12, 12};
    heading.bold = true;
    Line foreign{"Gr\xC3\xBC\xC3\x9F" "e \xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1 "
                 "\xD0\x9A\xD0\xB8\xD1\x80\xD0\xB8\xD0\xBB\xD0\xBB\xD0\xB8\xD1\x86\xD0\xB0 "
                 "\xE4\xB8\xAD\xE6\x96\x87",
                 72, 650, 11, 11};
    Line orange{"Orange", 400, 650, 11, 11, 1, 0.5, 0};
    book.page(612, 792, {heading, foreign, orange});
    for (int n = 2; n <= 10; ++n)
        book.page(612, 792, {Line{"Page " + std::to_string(n), 72.0 + n, 700.0 - 10 * n, 14, 14}});
    book.page(612, 792, {}, L"image/pic.gif", 100, 400, 96, 128);
    book.page(14400, 14400,
              {Line{"Top left", 10, 14380, 12, 12}, Line{"Far corner", 14000, 50, 12, 12}});
    expectations = book.expectations();
    picture = book.pictureJson;

    const std::wstring dir = utf8::ToWide((out / "built").string());
    fs::create_directories(out / "built");
    const std::wstring result = writer.save(dir, L"/report");
    fs::remove_all(utf8::Path(GlobalEnum::tmppath) / "ImageFiles");
    return result.empty() ? "" : (utf8::Path(result) / "report.html").string();
}

std::string WriteEmpty(const fs::path& out)
{
    HtmlWriter writer;
    writer.write(nullptr);
    fs::create_directories(out / "empty");
    const std::wstring result = writer.save(utf8::ToWide((out / "empty").string()), L"/empty");
    return result.empty() ? "" : (utf8::Path(result) / "empty.html").string();
}

// Converts the PDF with output type 2; the index page's path, or "" when
// the item failed.
std::string Convert(const fs::path& pdf, const fs::path& out, const fs::path& resources,
                    bool ignoreImages)
{
    Basedata_w item;
    item.type = 2;
    item.source = utf8::ToWide(pdf.string());
    item.dest = utf8::ToWide(out.string());
    item.exePath = utf8::ToWide(resources.string());
    item.htmlIgnoreImg = ignoreImages;
    std::vector<Basedata_w> items{item};
    fs::create_directories(out);
    const fs::path tmp = out / ".work";
    fs::create_directories(tmp);
    convert(items, utf8::ToWide(tmp.string()) + L"/", nullptr, callback_funcs{});
    fs::remove_all(tmp);
    if (items[0].result.empty())
        return "";
    const fs::path folder = utf8::Path(items[0].result);
    return (folder / (folder.filename().string() + ".html")).string();
}

int Usage()
{
    std::fprintf(stderr, "usage: html_viewer_fixture --resources DIR --out DIR "
                         "[--text PDF]... [--pictures PDF]...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    fs::path resources, out;
    std::vector<fs::path> text, pictures;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--resources")
            resources = argv[i + 1];
        else if (arg == "--out")
            out = argv[i + 1];
        else if (arg == "--text")
            text.emplace_back(argv[i + 1]);
        else if (arg == "--pictures")
            pictures.emplace_back(argv[i + 1]);
        else
            return Usage();
    }
    if (argc % 2 == 0 || resources.empty() || out.empty())
        return Usage();

    fs::create_directories(out);
    GlobalEnum::exepath = utf8::ToWide(resources.string());
    GlobalEnum::tmppath = utf8::ToWide((out / "tmp").string()) + L"/";
    fs::create_directories(out / "tmp");

    RezovirorInitialize();
    std::string expectations, picture;
    const std::string built = WriteBuilt(out, resources, expectations, picture);
    const std::string empty = WriteEmpty(out);
    RezovirorRelease();
    fs::remove_all(out / "tmp");

    auto list = [&](const std::vector<fs::path>& pdfs, const char* sub, bool ignoreImages) {
        std::string json = "[";
        for (std::size_t i = 0; i < pdfs.size(); ++i)
            json += std::string(i ? "," : "") + Json(Convert(pdfs[i], out / sub, resources, ignoreImages));
        return json + "]";
    };
    const std::string textJson = list(text, "text", true);
    const std::string picturesJson = list(pictures, "pictures", false);

    std::printf("{\"built\":%s,\"empty\":%s,\"expected\":%s,\"picture\":%s,\"text\":%s,"
                "\"pictures\":%s}\n",
                Json(built).c_str(), Json(empty).c_str(), expectations.c_str(), picture.c_str(),
                textJson.c_str(), picturesJson.c_str());
    return built.empty() || empty.empty() ? 1 : 0;
}
