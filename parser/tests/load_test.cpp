// Loading, passwords, page counts and sizes, bad input, the corpus.
#include "test_support.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include <sys/stat.h>

using namespace ptest;

namespace {

int PdfinfoPages(const std::string& pdf, const std::string& password = "")
{
    std::string cmd = "pdfinfo ";
    if (!password.empty())
        cmd += "-upw " + Q(password) + " ";
    const std::string out = Shell(cmd + Q(pdf) + " 2>/dev/null");
    const std::size_t at = out.find("Pages:");
    if (at == std::string::npos)
        return -1;
    return std::stoi(out.substr(at + 6));
}

// Size of page `page` (from 1) as pdftoppm renders it at 72 dpi with the crop box.
bool RenderedSize(const std::string& pdf, int page, int& w, int& h)
{
    auto dir = Scratch("size");
    const std::string out = (dir / "p").string();
    Shell("pdftoppm -q -cropbox -r 72 -gray -f " + std::to_string(page) + " -l " +
        std::to_string(page) + " -singlefile " + Q(pdf) + " " + Q(out));
    Jpeg pgm = ReadPgm(out + ".pgm");
    w = pgm.width;
    h = pgm.height;
    return pgm.ok;
}

std::string AllText(Parser& p)
{
    std::string s;
    for (int i = 0; i < p.GetPageCount(); ++i)
        for (TextCollect* t : Walk(p, i).text)
            s += t->GetText() + " ";
    return s;
}

} // namespace

TEST(Load, BadFilesThrowAndLeaveNoDocument)
{
    const char* files[] = {"missing.pdf", "zero.pdf", "text_file.pdf", "truncated.pdf",
                           "garbage.pdf", "no_pages.pdf"};
    for (const char* f : files) {
        SCOPED_TRACE(f);
        Parser p;
        EXPECT_THROW(p.Load(WFixture(f), false, nullptr), ParserError);
        EXPECT_EQ(p.GetPageCount(), 0);
        EXPECT_FALSE(p.SetCurrentPage(0));
        EXPECT_EQ(p.GetNextObj(), nullptr);
        wchar_t buf[16];
        EXPECT_FALSE(p.GetParsedFilePath(buf, 16));
        EXPECT_THROW(p.Load(WFixture(f), true, nullptr), ParserError);
    }
}

TEST(Load, SourcesThatAreNoRegularFilesAreRefusedWithoutWaiting)
{
    // A FIFO without a writer would block an open for reading for ever; a
    // folder or a device is no PDF either.
    auto dir = Scratch("fifo");
    const std::string fifo = (dir / "pipe.pdf").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, dir.string(), std::string("/dev/zero")}) {
        SCOPED_TRACE(path);
        Parser p;
        EXPECT_THROW(p.Load(Wide(path), false, nullptr), ParserError);
        EXPECT_THROW(p.Load(Wide(path), true, nullptr), ParserError);
        EXPECT_FALSE(Parser::ConvertPDFPageToJpeg(Wide(path), Wide((dir / "p.jpg").string()), 1,
                                                  72, ""));
    }
}

TEST(Load, ARequestToStopEndsALongPageRun)
{
    // Reading a page of 200,000 drawings takes long; the cancel callback is
    // asked during the run, and its yes ends the run with part of the page.
    struct Asked {
        int times = 0;
        bool stop = false;
    };
    auto objects = [](Asked& asked) {
        Parser p;
        p.SetCallbacks(nullptr, [](void* ctx) {
            auto* a = static_cast<Asked*>(ctx);
            ++a->times;
            return a->stop;
        }, &asked);
        p.Load(WFixture("many_paths.pdf"), false, nullptr);
        p.SetCurrentPage(0);
        int n = 0;
        while (p.GetNextObj())
            ++n;
        return n;
    };
    Asked go;
    const int whole = objects(go);
    Asked stop{0, true};
    const int part = objects(stop);
    EXPECT_GE(stop.times, 1);
    EXPECT_EQ(stop.times, 1) << "once stopped, the callback is not asked again";
    EXPECT_LT(part, whole / 2);
}

// Drawing the page of 3,000 page-wide fills takes longer than the probe's
// interval.
// A request to stop that comes while it is drawn, whole or in part, leaves
// no picture behind: not even the part drawn before it.
TEST(Load, ARequestToStopLeavesNoPicture)
{
    bool stop = false;
    Parser p;
    p.SetCallbacks(nullptr, [](void* ctx) { return *static_cast<bool*>(ctx); }, &stop);
    p.Load(WFixture("wide_fills.pdf"), false, nullptr);
    ASSERT_TRUE(p.SetCurrentPage(0));
    std::vector<CollectBase*> objects;
    while (CollectBase* o = p.GetNextObj())
        objects.push_back(o);
    ASSERT_GE(objects.size(), 3000u);
    const auto dir = Scratch("stopped");
    struct Way {
        const char* what;
        std::function<bool(const std::string& jpeg)> draw;
    };
    const Way ways[] = {
        {"the whole page",
         [&](const std::string& jpeg) {
             return Parser::ConvertPDFPageToJpeg(WFixture("wide_fills.pdf"), Wide(jpeg), 1, 96, "",
                                                 [](void* ctx) { return *static_cast<bool*>(ctx); },
                                                 &stop);
         }},
        {"the page's objects",
         [&](const std::string& jpeg) {
             ImageCollect region;
             return p.DrawObjects(objects, Wide(jpeg), region);
         }},
    };
    for (const Way& w : ways) {
        SCOPED_TRACE(w.what);
        const std::string drawn = (dir / "drawn.jpg").string();
        stop = false;
        EXPECT_TRUE(w.draw(drawn));
        EXPECT_TRUE(std::filesystem::exists(drawn));
        const std::string stopped = (dir / "stopped.jpg").string();
        stop = true;
        EXPECT_FALSE(w.draw(stopped));
        EXPECT_FALSE(std::filesystem::exists(stopped));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                                std::filesystem::directory_iterator()),
                  1) << "no temporary file is left";
        std::filesystem::remove(drawn);
    }
}

TEST(Load, FailedLoadDropsThePreviousDocument)
{
    Parser p;
    p.Load(WFixture("styles.pdf"), false, nullptr);
    ASSERT_EQ(p.GetPageCount(), 1);
    EXPECT_THROW(p.Load(WFixture("text_file.pdf"), false, nullptr), ParserError);
    EXPECT_EQ(p.GetPageCount(), 0);
    EXPECT_FALSE(p.SetCurrentPage(0));
}

TEST(Load, PageCountsMatchPdfinfo)
{
    for (const char* f : {"two_column.pdf", "links.pdf", "picture.pdf", "scanned.pdf"}) {
        SCOPED_TRACE(f);
        Parser p;
        EXPECT_TRUE(p.Load(WFixture(f), false, nullptr));
        EXPECT_EQ(p.GetPageCount(), PdfinfoPages(Fixture(f)));
    }
}

TEST(Load, EncryptedFilesOpenWithUserOrOwnerPassword)
{
    Parser plain;
    plain.Load(WFixture("styles.pdf"), false, nullptr);
    const std::string expected = AllText(plain);
    ASSERT_FALSE(expected.empty());
    for (const char* f : {"aes256.pdf", "aes256_r5.pdf", "rc4_128.pdf", "rc4_40.pdf"}) {
        SCOPED_TRACE(f);
        // The oracle opens it too.
        EXPECT_EQ(PdfinfoPages(Fixture(f), "userpw"), 1);
        Parser p;
        EXPECT_TRUE(p.Load(WFixture(f), true, nullptr)) << "reported as not protected";
        EXPECT_EQ(p.GetPageCount(), 0) << "a check leaves no document loaded";
        EXPECT_THROW(p.Load(WFixture(f), false, nullptr), ParserError);
        EXPECT_THROW(p.Load(WFixture(f), false, "wrong"), ParserError);
        for (const char* pw : {"userpw", "ownerpw"}) {
            Parser q;
            EXPECT_TRUE(q.Load(WFixture(f), false, pw));
            EXPECT_EQ(q.GetPassword(), pw);
            EXPECT_EQ(AllText(q), expected);
        }
    }
}

// A parser opened alike (a page-analysis thread of a job) reads the pages
// of the parser it was opened from, in their order, with its password; a
// file replaced in between is read as it is now.
TEST(Load, ParsersOpenedAlikeReadTheSamePages)
{
    const auto dir = Scratch("alike");
    const std::string joined = (dir / "joined.pdf").string();
    int status = -1;
    Shell("qpdf --empty --pages " + Q(Fixture("two_column.pdf")) + " " + Q(Fixture("links.pdf")) +
              " " + Q(Fixture("styles.pdf")) + " " + Q(Fixture("table.pdf")) + " -- " + Q(joined),
          &status);
    ASSERT_EQ(status, 0);
    struct Case {
        std::string file;
        const char* password;
    };
    for (const Case& c : {Case{joined, nullptr}, Case{Fixture("aes256.pdf"), "userpw"},
                          Case{Fixture("rc4_40.pdf"), "ownerpw"}}) {
        SCOPED_TRACE(c.file);
        Parser first;
        ASSERT_TRUE(first.Load(Wide(c.file), false, c.password));
        Parser alike;
        ASSERT_TRUE(alike.LoadAlike(first));
        EXPECT_EQ(alike.GetPageCount(), first.GetPageCount());
        EXPECT_EQ(alike.GetPassword(), first.GetPassword());
        const std::string text = AllText(first);
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(AllText(alike), text);
    }
    EXPECT_GE(PdfinfoPages(joined, ""), 4);   // pages of several files in one tree

    const std::string moving = (dir / "moving.pdf").string();
    std::filesystem::copy_file(joined, moving);
    Parser first;
    ASSERT_TRUE(first.Load(Wide(moving), false, nullptr));
    std::filesystem::copy_file(Fixture("styles.pdf"), moving,
                               std::filesystem::copy_options::overwrite_existing);
    Parser alike;
    ASSERT_TRUE(alike.LoadAlike(first));
    Parser fresh;
    ASSERT_TRUE(fresh.Load(Wide(moving), false, nullptr));
    EXPECT_EQ(alike.GetPageCount(), 1);
    EXPECT_EQ(AllText(alike), AllText(fresh));
}

// A file loaded again reads as the first load read it, with another file
// loaded in between or not; a file replaced in place is read as it is now,
// also by parsers opened alike from the new load.
TEST(Load, LoadsAgainReadTheFileAsItIsNow)
{
    const auto dir = Scratch("again");
    const std::string joined = (dir / "joined.pdf").string();
    int status = -1;
    Shell("qpdf --empty --pages " + Q(Fixture("two_column.pdf")) + " " + Q(Fixture("links.pdf")) +
              " " + Q(Fixture("styles.pdf")) + " -- " + Q(joined),
          &status);
    ASSERT_EQ(status, 0);
    Parser first;
    ASSERT_TRUE(first.Load(Wide(joined), false, nullptr));
    const int pages = first.GetPageCount();
    const std::string text = AllText(first);
    ASSERT_FALSE(text.empty());
    struct Case {
        const char* between;   // a file loaded before the load again, or null
    };
    for (const Case& c : {Case{nullptr}, Case{"table.pdf"}, Case{nullptr}}) {
        SCOPED_TRACE(c.between ? c.between : "nothing between");
        if (c.between) {
            Parser other;
            ASSERT_TRUE(other.Load(WFixture(c.between), false, nullptr));
        }
        Parser again;
        ASSERT_TRUE(again.Load(Wide(joined), false, nullptr));
        EXPECT_EQ(again.GetPageCount(), pages);
        EXPECT_EQ(AllText(again), text);
    }

    // The same file with its first two pages swapped in the page tree: the
    // same objects under the same numbers, another order of pages.
    const std::string qdf = (dir / "qdf.pdf").string();
    Shell("qpdf --qdf --object-streams=disable " + Q(joined) + " " + Q(qdf), &status);
    ASSERT_EQ(status, 0);
    std::string body;
    {
        std::ifstream in(qdf, std::ios::binary);
        body.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::size_t kids = body.find("/Kids [\n");
    ASSERT_NE(kids, std::string::npos);
    const std::size_t a = body.find('\n', kids) + 1;
    const std::size_t b = body.find('\n', a) + 1;
    const std::size_t end = body.find('\n', b) + 1;
    const std::string swapped = body.substr(b, end - b) + body.substr(a, b - a);
    body.replace(a, end - a, swapped);
    std::ofstream(qdf, std::ios::binary | std::ios::trunc) << body;
    const std::string turned = (dir / "turned.pdf").string();
    Shell("fix-qdf " + Q(qdf) + " > " + Q(turned), &status);
    ASSERT_EQ(status, 0);
    const std::string moving = (dir / "moving.pdf").string();
    std::filesystem::copy_file(joined, moving);
    Parser before;
    ASSERT_TRUE(before.Load(Wide(moving), false, nullptr));
    std::filesystem::copy_file(turned, moving, std::filesystem::copy_options::overwrite_existing);
    Parser now;
    ASSERT_TRUE(now.Load(Wide(moving), false, nullptr));
    Parser alike;
    ASSERT_TRUE(alike.LoadAlike(now));
    Parser reference;
    ASSERT_TRUE(reference.Load(Wide(turned), false, nullptr));
    const std::string expected = AllText(reference);
    EXPECT_NE(expected, text);
    EXPECT_EQ(now.GetPageCount(), pages);
    EXPECT_EQ(AllText(now), expected);
    EXPECT_EQ(AllText(alike), expected);
}

TEST(Load, CheckOnlyAnswersFalseForFilesThatOpenWithoutPassword)
{
    for (const char* f : {"styles.pdf", "owner_only.pdf"}) {
        SCOPED_TRACE(f);
        Parser p;
        EXPECT_FALSE(p.Load(WFixture(f), true, nullptr));
        EXPECT_TRUE(p.Load(WFixture(f), false, nullptr));
        EXPECT_EQ(p.GetPageCount(), 1);
    }
}

TEST(Load, ParsedFilePathAndUtf8Names)
{
    auto dir = Scratch("names");
    const auto target = dir / "Zürich résumé.pdf";
    std::filesystem::copy_file(Fixture("styles.pdf"), target);
    const std::wstring wide = Wide(target.string());
    Parser p;
    ASSERT_TRUE(p.Load(wide, false, nullptr));
    wchar_t buf[1024];
    ASSERT_TRUE(p.GetParsedFilePath(buf, 1024));
    EXPECT_EQ(std::wstring(buf), wide);
    wchar_t small[4];
    EXPECT_FALSE(p.GetParsedFilePath(small, 4));
    EXPECT_TRUE(Parser::CopyPDF(wide));
    EXPECT_FALSE(Parser::CopyPDF(WFixture("missing.pdf")));
    const auto jpeg = dir / "Seite ä.jpg";
    EXPECT_TRUE(Parser::ConvertPDFPageToJpeg(wide, Wide(jpeg.string()), 1, 36, ""));
    EXPECT_TRUE(ReadJpeg(jpeg.string()).ok);
}

TEST(Load, PageSizesMatchRenderedPages)
{
    struct Case {
        const char* file;
        double w, h;
    } cases[] = {{"two_column.pdf", 612, 792}, {"rotate90.pdf", 612, 792},
                 {"cropbox.pdf", 400, 500}, {"paths.pdf", 400, 300}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Parser p;
        p.Load(WFixture(c.file), false, nullptr);
        int rw = 0, rh = 0;
        ASSERT_TRUE(RenderedSize(Fixture(c.file), 1, rw, rh));
        double w = 0, h = 0;
        ASSERT_TRUE(p.GetPageWidth(w, 0));
        ASSERT_TRUE(p.GetPageHeight(h, 0));
        EXPECT_NEAR(w, rw, 1.0);
        EXPECT_NEAR(h, rh, 1.0);
        EXPECT_NEAR(w, c.w, 0.01);
        EXPECT_NEAR(h, c.h, 0.01);
        // The current page (-1) once selected.
        EXPECT_FALSE(p.GetPageWidth(w, -1)) << "no page selected yet";
        ASSERT_TRUE(p.SetCurrentPage(0));
        ASSERT_TRUE(p.GetPageWidth(w));
        EXPECT_NEAR(w, c.w, 0.01);
    }
}

TEST(Load, PagesOutOfRangeAreRefused)
{
    Parser p;
    p.Load(WFixture("links.pdf"), false, nullptr);
    for (int page : {-5, -1, 2, 1000}) {
        SCOPED_TRACE(page);
        EXPECT_FALSE(p.SetCurrentPage(page));
        EXPECT_EQ(p.GetNextObj(), nullptr);
        double v = 1;
        if (page != -1) {
            EXPECT_FALSE(p.GetPageWidth(v, page));
            EXPECT_EQ(v, 0.0);
        }
    }
    EXPECT_TRUE(p.SetCurrentPage(1));
    EXPECT_NE(p.GetNextObj(), nullptr);
}

TEST(Load, StaticFoldersAreKeptAndReleased)
{
    Parser::InitParserStaticParam(L"/opt/prog", L"/opt/prog/temple/bin", L"/tmp/work");
    EXPECT_EQ(Parser::GetProgramDir(), L"/opt/prog");
    EXPECT_EQ(Parser::GetToolDir(), L"/opt/prog/temple/bin");
    EXPECT_EQ(Parser::GetWorkDir(), L"/tmp/work");
    Parser::ReleaseAllTextConvertMap();
    EXPECT_TRUE(Parser::GetWorkDir().empty());
    EXPECT_TRUE(Parser::GetProgramDir().empty());
}

// Every file of the shared corpus loads and walks every page, or is refused
// with ParserError; either way nothing crashes.
TEST(Load, CorpusFilesLoadOrFailCleanly)
{
    if (CorpusMissing())
        GTEST_SKIP() << "no corpus at " << Corpus();
    auto dir = Scratch("corpus");
    int loaded = 0;
    for (const auto& e : std::filesystem::directory_iterator(Corpus())) {
        if (e.path().extension() != ".pdf")
            continue;
        SCOPED_TRACE(e.path().string());
        Parser p;
        p.SetImageDir(Wide(dir.string()));
        try {
            p.Load(Wide(e.path().string()), false, nullptr);
        } catch (const ParserError&) {
            continue;
        }
        ++loaded;
        const int pages = p.GetPageCount();
        EXPECT_EQ(pages, PdfinfoPages(e.path().string()));
        for (int i = 0; i < pages; ++i) {
            PageObjects o = Walk(p, i);
            for (ImageCollect* img : o.images)
                (void)img->GetImagePath();
        }
        EXPECT_TRUE(Parser::ConvertPDFPageToJpeg(Wide(e.path().string()),
                                                 Wide((dir / "page.jpg").string()), 1, 24,
                                                 ""));
    }
    EXPECT_GT(loaded, 25);
}

// Files damaged at random places: every operation either works or fails
// cleanly; the sanitizers watch for anything worse.
// Picture sizes are read from the file's dictionaries to know what a page
// brings into memory; the largest the file can claim are counted without
// overflow, and the page reads and draws as its text.
TEST(Load, PicturesClaimingHugeSizesLeaveThePageReadable)
{
    auto dir = Scratch("huge_sizes");
    const std::string file = Fixture("huge_picture_sizes.pdf");
    Parser p;
    p.SetImageDir(Wide(dir.string()));
    p.Load(Wide(file), false, nullptr);
    ASSERT_EQ(p.GetPageCount(), 1);
    for (int pass = 0; pass < 2; ++pass) {
        PageObjects o = Walk(p, 0);
        std::string text;
        for (TextCollect* t : o.text)
            text += t->GetText() + " ";
        EXPECT_NE(text.find("Huge"), std::string::npos) << text;
    }
    const std::string jpeg = (dir / "page.jpg").string();
    EXPECT_TRUE(Parser::ConvertPDFPageToJpeg(Wide(file), Wide(jpeg), 1, 36, ""));
}

TEST(Load, DamagedFilesNeverCrash)
{
    auto dir = Scratch("damaged");
    unsigned seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    int opened = 0;
    for (const char* name :
         {"picture.pdf", "paths.pdf", "links.pdf", "styles.pdf", "form_need_ap.pdf"}) {
        std::ifstream in(Fixture(name), std::ios::binary);
        const std::string original((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (int variant = 0; variant < 12; ++variant) {
            std::string data = original;
            const int edits = 1 + static_cast<int>(next() % 8);
            for (int e = 0; e < edits; ++e) {
                const std::size_t at = next() % data.size();
                switch (next() % 3) {
                case 0: data[at] = static_cast<char>(next()); break;       // a byte changed
                case 1: data.erase(at, 1 + next() % 64); break;            // bytes lost
                default: data.insert(at, std::string(1 + next() % 16, '(')); // bytes added
                }
            }
            if (variant == 11)
                data.resize(data.size() * 2 / 3); // cut short
            const auto file = dir / (std::string("v") + std::to_string(variant) + name);
            std::ofstream(file, std::ios::binary) << data;
            SCOPED_TRACE(file.string());
            Parser p;
            p.SetImageDir(Wide(dir.string()));
            try {
                p.Load(Wide(file.string()), false, nullptr);
            } catch (const ParserError&) {
                continue;
            }
            ++opened;
            for (int i = 0; i < p.GetPageCount(); ++i) {
                PageObjects o = Walk(p, i);
                for (ImageCollect* img : o.images)
                    (void)img->GetMaskPath(), (void)img->GetImagePath();
                ImageCollect region(nullptr);
                p.DrawObjects(o.all, Wide((dir / "d.jpg").string()), region);
                double w = 0;
                p.GetPageWidth(w, i);
            }
            Parser::ConvertPDFPageToJpeg(Wide(file.string()),
                                         Wide((dir / "r.jpg").string()), 1, 20, "");
        }
    }
    EXPECT_GT(opened, 10) << "MuPDF repairs most of these";
}
