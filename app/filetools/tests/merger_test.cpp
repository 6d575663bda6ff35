// MergerTool end to end: page selections, the sheet layout checked with
// pdfinfo and pdftotext -bbox, merge sources (encrypted, damaged, pictures),
// output passwords checked with qpdf, progress and cancel, and the corpus.
#include "app/filetools/mergertool.h"
#include "engine/layout/utf8.h"
#include "fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>

namespace {

namespace fs = std::filesystem;
using testutil::Quote;

// ---- running a merge ---------------------------------------------------------

struct SourceSpec {
    std::string path;
    const char* selection = nullptr; // null: all pages
    const char* password = nullptr;
    int pageCount = 0;               // the caller's guess
};

struct Job {
    std::vector<SourceSpec> sources;
    int paper = 1; // A4
    int nup = 0;
    int dir = 0;
    int index = 0;
    std::string open, permission;
    bool allowEdit = false, allowCopy = false, allowPrint = false;
    int cancelAt = -1; // answer true to this cancel question (0 = the first)
};

struct Outcome {
    bool ok = false;
    std::vector<std::pair<int, int>> progress; // (index, percent)
    int cancelQuestions = 0;
};

Outcome RunMerge(const Job& job, const fs::path& out)
{
    struct Context {
        const Job* job;
        Outcome* outcome;
    };
    Outcome outcome;
    Context ctx{&job, &outcome};
    MergerTool tool;
    tool.SetCallBack(
        &ctx,
        [](void* c, int index, unsigned message, int value) {
            EXPECT_EQ(message, static_cast<unsigned>(WM_PROGRESS_PERCENT));
            static_cast<Context*>(c)->outcome->progress.emplace_back(index, value);
        },
        [](void* c) {
            auto* ctx = static_cast<Context*>(c);
            return ctx->outcome->cancelQuestions++ == ctx->job->cancelAt;
        });
    tool.SetOpenPwd(job.open.c_str());
    if (!job.open.empty() || !job.permission.empty())
        tool.SetPemissionPwd(job.permission.c_str(), job.allowEdit, job.allowCopy, job.allowPrint);
    tool.SetLayout(job.paper, job.nup, job.dir);
    tool.SetOutPDFPath(utf8::ToWide(out.string()).c_str());
    int row = 1;
    for (const SourceSpec& s : job.sources)
        tool.AppendMergeSrc(row++, utf8::ToWide(s.path).c_str(), s.pageCount, s.selection,
                            s.password);
    outcome.ok = tool.StartMerge(job.index);
    return outcome;
}

SourceSpec Src(const std::string& name, const char* selection = nullptr,
               const char* password = nullptr)
{
    return SourceSpec{fixtures::Path(name), selection, password, 0};
}

// ---- reading the output back with poppler and qpdf ---------------------------

struct Word {
    double x0, y0, x1, y1;
    std::string text;
};

// One output page as a viewer shows it: size after /Rotate, and its words
// with coordinates from the top-left corner.
struct Sheet {
    double width = 0, height = 0;
    int rotation = 0;
    std::vector<Word> words;
};

std::vector<Sheet> ReadSheets(const fs::path& file, const std::string& password = "")
{
    const std::string pw = password.empty() ? "" : " -upw " + Quote(password);
    std::vector<Sheet> sheets;
    const std::string info =
        testutil::Run("pdfinfo" + pw + " -f 1 -l 9999 " + Quote(file.string()) + " 2>/dev/null");
    static const std::regex size(R"(Page +(\d+) size: +([\d.]+) x ([\d.]+) pts)");
    static const std::regex rot(R"(Page +(\d+) rot: +(\d+))");
    for (std::sregex_iterator it(info.begin(), info.end(), size), end; it != end; ++it) {
        Sheet s;
        s.width = std::stod((*it)[2]);
        s.height = std::stod((*it)[3]);
        sheets.push_back(s);
    }
    for (std::sregex_iterator it(info.begin(), info.end(), rot), end; it != end; ++it) {
        const auto n = static_cast<std::size_t>(std::stoi((*it)[1]));
        if (n >= 1 && n <= sheets.size()) {
            Sheet& s = sheets[n - 1];
            s.rotation = std::stoi((*it)[2]);
            if (s.rotation % 180 == 90)
                std::swap(s.width, s.height);
        }
    }
    const std::string html =
        testutil::Run("pdftotext" + pw + " -bbox " + Quote(file.string()) + " - 2>/dev/null");
    static const std::regex word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    std::size_t page = 0;
    std::size_t at = html.find("<page ");
    while (at != std::string::npos && page < sheets.size()) {
        const std::size_t next = html.find("<page ", at + 1);
        const std::string body = html.substr(at, next == std::string::npos ? std::string::npos : next - at);
        for (std::sregex_iterator it(body.begin(), body.end(), word), end; it != end; ++it)
            sheets[page].words.push_back({std::stod((*it)[1]), std::stod((*it)[2]),
                                          std::stod((*it)[3]), std::stod((*it)[4]), (*it)[5]});
        ++page;
        at = next;
    }
    return sheets;
}

// The word that follows "Page" and reads `label`, or null.
const Word* Label(const Sheet& sheet, int label)
{
    for (std::size_t i = 1; i < sheet.words.size(); ++i)
        if (sheet.words[i - 1].text == "Page" && sheet.words[i].text == std::to_string(label))
            return &sheet.words[i];
    return nullptr;
}

// A region of a sheet as fractions of its shown width and height, from the
// top-left corner.
struct Region {
    double left, top, right, bottom;
};

bool Inside(const Sheet& sheet, const Word& w, const Region& r)
{
    const double cx = (w.x0 + w.x1) / 2 / sheet.width, cy = (w.y0 + w.y1) / 2 / sheet.height;
    return cx > r.left && cx < r.right && cy > r.top && cy < r.bottom;
}

// qpdf finds no damage, poppler renders every page, and both count `pages`.
void ExpectSoundPdf(const fs::path& file, int pages, const std::string& password = "")
{
    int status = -1;
    const std::string pw = password.empty() ? "" : " --password=" + Quote(password);
    const std::string check =
        testutil::Run("qpdf" + pw + " --check " + Quote(file.string()) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << check;
    EXPECT_EQ(fixtures::QpdfPages(file.string(), password), pages);
    testutil::TempDir render;
    const std::string upw = password.empty() ? "" : " -upw " + Quote(password);
    testutil::Run("pdftoppm" + upw + " -r 8 -png " + Quote(file.string()) + " " +
                  Quote((render.path() / "p").string()) + " 2>&1", &status);
    EXPECT_EQ(status, 0);
    int rendered = 0;
    for (const auto& e : fs::directory_iterator(render.path()))
        rendered += e.path().extension() == ".png";
    EXPECT_EQ(rendered, pages);
}

class Merger : public ::testing::Test {
protected:
    fs::path Out(const std::string& name = "out.pdf") const { return tmp_.path() / name; }
    testutil::TempDir tmp_;
};

// ---- page selection ----------------------------------------------------------

TEST(PageSelection, ParsesOddEvenRangesAndGarbage)
{
    struct Case {
        const char* sel;
        int count;
        std::vector<int> pages;
        bool ok;
    };
    const Case cases[] = {
        {"Odd", 5, {1, 3, 5}, true},
        {"Even", 5, {2, 4}, true},
        {"Odd", 0, {}, true},
        {"1-3,7", 10, {1, 2, 3, 7}, true},
        {"1-3,7,5-4", 6, {1, 2, 3}, false},
        {"2-9", 5, {2, 3, 4, 5}, true},
        {"-3", 5, {}, false},
        {"3-", 5, {}, false},
        {"3,1,3", 5, {3, 1, 3}, true},
        {" 2 , 4 ", 5, {2, 4}, true},
        {",,2,,", 5, {2}, true},
        {"0-2", 5, {1, 2}, true},
        {"0", 5, {}, true},
        {"abc", 5, {}, true},
        {"", 5, {}, true},
        {"99999999999999999999999", 5, {}, true},
        {"1-99999999999999999999999", 3, {1, 2, 3}, true},
        {"99999999999999999999999-2", 3, {}, false},
    };
    for (const Case& c : cases) {
        std::vector<int> out{42};
        EXPECT_EQ(MergerTool::GetSelectPage(c.sel, out, c.count), c.ok) << c.sel;
        EXPECT_EQ(out, c.pages) << c.sel;
    }
}

// ---- sheet layout --------------------------------------------------------------

// Five pages on every number of pages to a sheet, direction and paper size:
// the sheets' size and /Rotate from pdfinfo, each page's label in its cell
// from pdftotext -bbox.
TEST_F(Merger, LaysPagesOutOnSheets)
{
    const Region whole{0, 0, 1, 1}, left{0, 0, .5, 1}, right{.5, 0, 1, 1}, top{0, 0, 1, .5},
        bottom{0, .5, 1, 1}, tl{0, 0, .5, .5}, tr{.5, 0, 1, .5}, bl{0, .5, .5, 1}, br{.5, .5, 1, 1};
    struct Layout {
        int nup, dir;
        int rotation;
        std::vector<Region> cells; // in fill order, as shown
    };
    const Layout layouts[] = {
        {0, 0, 0, {whole}},           {0, 1, 0, {whole}},
        {0, 2, 270, {whole}},         {1, 0, 270, {left, right}},
        {1, 1, 0, {top, bottom}},     {1, 2, 270, {left, right}},
        {2, 0, 0, {tl, tr, bl, br}},  {2, 1, 0, {tl, tr, bl, br}},
        {2, 2, 270, {tl, bl, tr, br}},
    };
    struct Paper {
        int code;
        double width, height; // of the sheet before /Rotate
    };
    const Paper papers[] = {{1, 595, 842}, {3, 612, 790}, {100, 612, 792}};
    for (const Paper& paper : papers) {
        for (const Layout& l : layouts) {
            const std::string name = "p" + std::to_string(paper.code) + "n" +
                                     std::to_string(l.nup) + "d" + std::to_string(l.dir);
            SCOPED_TRACE(name);
            Job job;
            job.sources = {Src("five.pdf")};
            job.paper = paper.code;
            job.nup = l.nup;
            job.dir = l.dir;
            ASSERT_TRUE(RunMerge(job, Out(name + ".pdf")).ok);
            const auto sheets = ReadSheets(Out(name + ".pdf"));
            const std::size_t perSheet = l.cells.size();
            ASSERT_EQ(sheets.size(), (5 + perSheet - 1) / perSheet);
            for (std::size_t k = 0; k < 5; ++k) {
                const Sheet& s = sheets[k / perSheet];
                EXPECT_EQ(s.rotation, l.rotation);
                const bool turned = l.rotation % 180 != 0;
                EXPECT_NEAR(s.width, turned ? paper.height : paper.width, 0.5);
                EXPECT_NEAR(s.height, turned ? paper.width : paper.height, 0.5);
                const Word* w = Label(s, static_cast<int>(k) + 1);
                ASSERT_NE(w, nullptr) << "page " << k + 1;
                EXPECT_TRUE(Inside(s, *w, l.cells[k % perSheet])) << "page " << k + 1;
            }
            ExpectSoundPdf(Out(name + ".pdf"), static_cast<int>(sheets.size()));
        }
    }
}

// A page whose box starts at 200, 300 lands in its cell like any other: its
// label sits where it sits on a page at 0, 0.
TEST_F(Merger, OffsetBoxFillsItsCell)
{
    for (const char* name : {"offset_box.pdf", "five.pdf"}) {
        Job job;
        job.sources = {Src(name)};
        job.nup = 2;
        ASSERT_TRUE(RunMerge(job, Out(name)).ok);
    }
    const auto offset = ReadSheets(Out("offset_box.pdf"));
    const auto plain = ReadSheets(Out("five.pdf"));
    ASSERT_EQ(offset.size(), 1u);
    for (int label : {1, 2}) {
        const Word* a = Label(offset[0], label);
        const Word* b = Label(plain[0], label);
        ASSERT_TRUE(a && b);
        EXPECT_NEAR(a->x0, b->x0, 1.0) << label;
        EXPECT_NEAR(a->y0, b->y0, 1.0) << label;
    }
    ExpectSoundPdf(Out("offset_box.pdf"), 1);
}

// Pages with annotations are placed like any other: no page appears twice
// and the page count holds.
TEST_F(Merger, AnnotatedPagesAreNotDuplicated)
{
    Job job;
    job.sources = {Src("annotated.pdf")};
    job.nup = 1;
    ASSERT_TRUE(RunMerge(job, Out()).ok);
    ExpectSoundPdf(Out(), 2);
    const auto sheets = ReadSheets(Out());
    int labels = 0;
    for (const Sheet& s : sheets)
        for (int k = 1; k <= 3; ++k)
            labels += Label(s, k) != nullptr;
    EXPECT_EQ(labels, 3);

    // A real file with link annotations on its four pages.
    for (const auto& file : fixtures::Corpus()) {
        if (file.filename().string().rfind("006-", 0) != 0)
            continue;
        Job real;
        real.sources = {SourceSpec{file.string()}};
        real.nup = 1;
        ASSERT_TRUE(RunMerge(real, Out("links.pdf")).ok);
        ExpectSoundPdf(Out("links.pdf"), 2);
    }
}

// A deferred sheet size follows the page that opens each sheet: landscape
// for a landscape page, swapped for a page with /Rotate 90.
TEST_F(Merger, DeferredSheetsTakeTheOpeningPageSize)
{
    Job job;
    job.sources = {Src("landscape.pdf", "1"), Src("rotated90.pdf", "1"), Src("five.pdf", "1")};
    job.paper = 100;
    ASSERT_TRUE(RunMerge(job, Out()).ok);
    const auto sheets = ReadSheets(Out());
    ASSERT_EQ(sheets.size(), 3u);
    EXPECT_NEAR(sheets[0].width, 792, 0.5);
    EXPECT_NEAR(sheets[1].width, 792, 0.5);
    EXPECT_NEAR(sheets[2].width, 612, 0.5);
    ExpectSoundPdf(Out(), 3);
}

// ---- sources -------------------------------------------------------------------

// Every revision of the standard security handler, opened with the user or
// the owner password, gives all its pages.
TEST_F(Merger, EncryptedSourcesGiveAllTheirPages)
{
    Job job;
    job.sources = {Src("classic.pdf"),           Src("enc_r2.pdf", nullptr, "user"),
                   Src("enc_r3.pdf", nullptr, "owner"), Src("enc_r4.pdf", nullptr, "user"),
                   Src("enc_r5.pdf", nullptr, "user"),  Src("enc_r6.pdf", nullptr, "owner")};
    ASSERT_TRUE(RunMerge(job, Out()).ok);
    ExpectSoundPdf(Out(), 18);
    const auto sheets = ReadSheets(Out());
    ASSERT_EQ(sheets.size(), 18u);
    for (std::size_t i = 0; i < sheets.size(); ++i)
        EXPECT_NE(Label(sheets[i], static_cast<int>(i % 3) + 1), nullptr) << i;
}

// Wrong password, not a PDF, damaged, missing: skipped, the rest merged.
TEST_F(Merger, SkipsSourcesThatCannotBeReadAndMergesTheRest)
{
    testutil::WriteFile(tmp_.path() / "notes.pdf", "not a PDF at all\n");
    const std::string classic = testutil::ReadFile(fixtures::Path("classic.pdf"));
    testutil::WriteFile(tmp_.path() / "cut.pdf", classic.substr(0, classic.size() / 2));
    Job job;
    job.sources = {Src("enc_r4.pdf", nullptr, "wrong"), SourceSpec{(tmp_.path() / "notes.pdf").string()},
                   Src("five.pdf", "2-3"), SourceSpec{(tmp_.path() / "cut.pdf").string()},
                   Src("missing.pdf"), Src("enc_r6.pdf"), Src("classic.pdf", "3")};
    ASSERT_TRUE(RunMerge(job, Out()).ok);
    ExpectSoundPdf(Out(), 3);
    const auto sheets = ReadSheets(Out());
    ASSERT_EQ(sheets.size(), 3u);
    EXPECT_NE(Label(sheets[0], 2), nullptr);
    EXPECT_NE(Label(sheets[1], 3), nullptr);
    EXPECT_NE(Label(sheets[2], 3), nullptr);
}

// "All pages" takes the loaded document's page count, whatever the caller
// guessed; a file listed twice is loaded once and placed twice.
TEST_F(Merger, AllPagesComesFromTheLoadedDocument)
{
    Job job;
    job.sources = {Src("five.pdf"), Src("five.pdf", "Even")};
    job.sources[0].pageCount = 1;
    job.sources[1].pageCount = -1;
    ASSERT_TRUE(RunMerge(job, Out()).ok);
    ExpectSoundPdf(Out(), 7);
    Job once;
    once.sources = {Src("five.pdf")};
    ASSERT_TRUE(RunMerge(once, Out("once.pdf")).ok);
    // The second listing adds its forms, not a second copy of the source.
    EXPECT_LT(fs::file_size(Out()), fs::file_size(Out("once.pdf")) * 2);
}

TEST_F(Merger, EmptySelectionsAndUnreadableSourcesWriteNothing)
{
    const std::vector<std::vector<SourceSpec>> jobs = {
        {Src("five.pdf", "9-12")},
        {Src("five.pdf", "")},
        {Src("five.pdf", "5-1")},
        {Src("missing.pdf"), Src("enc_r4.pdf"), Src("notpicture.png"), Src("photo.gif")},
        {},
    };
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        Job job;
        job.sources = jobs[i];
        const Outcome o = RunMerge(job, Out());
        EXPECT_FALSE(o.ok) << i;
        EXPECT_FALSE(fs::exists(Out())) << i;
        for (std::size_t k = 1; k < o.progress.size(); ++k)
            EXPECT_GE(o.progress[k].second, o.progress[k - 1].second) << i;
    }
}

// JPEG (any case of the name, ".jpeg" too), PNG and TIFF pictures become
// pages; a damaged JPEG, a GIF and text named .png are skipped.
TEST_F(Merger, PicturesBecomePages)
{
    Job job;
    job.sources = {Src("photo.JPG"), Src("damaged.jpg"), Src("photo.jpeg"), Src("tall.png"),
                   Src("scan.tiff"),  Src("photo.gif"),   Src("notpicture.png")};
    job.paper = 100;
    const fs::path cwd = fs::current_path();
    fs::current_path(tmp_.path());
    const Outcome o = RunMerge(job, Out());
    fs::current_path(cwd);
    ASSERT_TRUE(o.ok);
    ExpectSoundPdf(Out(), 4);
    // Each sheet takes the picture's size; nothing is left in the folder.
    const auto sheets = ReadSheets(Out());
    ASSERT_EQ(sheets.size(), 4u);
    EXPECT_NEAR(sheets[0].width, 300, 0.5);
    EXPECT_NEAR(sheets[2].width, 200, 0.5);
    EXPECT_NEAR(sheets[2].height, 300, 0.5);
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(tmp_.path()))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"out.pdf"});
}

// ---- output passwords ---------------------------------------------------------

TEST_F(Merger, ProtectsTheOutputWithPasswordsAndPermissions)
{
    auto shows = [](const fs::path& file, const std::string& password) {
        const std::string pw = password.empty() ? "" : " --password=" + Quote(password);
        return testutil::Run("qpdf" + pw + " --show-encryption " + Quote(file.string()) + " 2>&1");
    };
    Job both;
    both.sources = {Src("five.pdf")};
    both.open = "openme";
    both.permission = "owner";
    both.allowPrint = true;
    both.allowCopy = true;
    ASSERT_TRUE(RunMerge(both, Out("both.pdf")).ok);
    ExpectSoundPdf(Out("both.pdf"), 5, "openme");
    int status = -1;
    for (const char* pw : {"openme", "owner"}) {
        testutil::Run("qpdf --decrypt --password=" + std::string(pw) + " " +
                          Quote(Out("both.pdf").string()) + " " + Quote(Out("dec.pdf").string()),
                      &status);
        EXPECT_EQ(status, 0) << pw;
    }
    testutil::Run("qpdf --decrypt " + Quote(Out("both.pdf").string()) + " " +
                      Quote(Out("dec2.pdf").string()) + " 2>&1",
                  &status);
    EXPECT_EQ(status, 2);
    const std::string enc = shows(Out("both.pdf"), "openme");
    EXPECT_NE(enc.find("R = 2"), std::string::npos) << enc;
    EXPECT_NE(enc.find("print low resolution: allowed"), std::string::npos) << enc;
    EXPECT_NE(enc.find("extract for any purpose: allowed"), std::string::npos) << enc;
    EXPECT_NE(enc.find("modify other: not allowed"), std::string::npos) << enc;

    // A permission password alone: opens without a password, edits refused.
    Job permission;
    permission.sources = {Src("five.pdf")};
    permission.permission = "owner";
    permission.allowEdit = true;
    ASSERT_TRUE(RunMerge(permission, Out("perm.pdf")).ok);
    ExpectSoundPdf(Out("perm.pdf"), 5);
    const std::string perm = shows(Out("perm.pdf"), "");
    EXPECT_NE(perm.find("modify other: allowed"), std::string::npos) << perm;
    EXPECT_NE(perm.find("print low resolution: not allowed"), std::string::npos) << perm;

    Job none;
    none.sources = {Src("enc_r6.pdf", nullptr, "user")};
    ASSERT_TRUE(RunMerge(none, Out("none.pdf")).ok);
    EXPECT_NE(shows(Out("none.pdf"), "").find("File is not encrypted"), std::string::npos);
    EXPECT_EQ(testutil::ReadFile(Out("none.pdf")).find("/Encrypt"), std::string::npos);
}

TEST(MergerSettings, PermissionPasswordRules)
{
    MergerTool t;
    t.SetPemissionPwd("", true, true, true); // no password at all: nothing added
    EXPECT_EQ(t.Permissions(), 0);
    t.SetOpenPwd("open");
    t.SetPemissionPwd("", true, false, false); // the open password serves
    EXPECT_EQ(t.Permissions(), MergerTool::PERMIT_EDIT);
    t.SetPemissionPwd("perm", false, true, true);
    EXPECT_EQ(t.Permissions(), MergerTool::PERMIT_EDIT | MergerTool::PERMIT_COPY | MergerTool::PERMIT_PRINT);

    EXPECT_TRUE(t.SetLayout(100, 1, 5));
    EXPECT_FALSE(t.SetLayout(1, 3, 0));
    EXPECT_FALSE(t.SetLayout(0, 842, 1, 0));
    EXPECT_TRUE(t.SetLayout(300, 400, 2, 1));
    EXPECT_FALSE(t.AppendMergeSrc(-1, L"a.pdf", 1, nullptr, nullptr));
    EXPECT_FALSE(t.AppendMergeSrc(1, nullptr, 1, nullptr, nullptr));
}

// ---- progress and cancel -----------------------------------------------------

TEST_F(Merger, ProgressRisesToHundredAndCancelWritesNothing)
{
    Job job;
    job.sources = {Src("five.pdf"), Src("photo.JPG"), Src("classic.pdf", "Odd")};
    job.nup = 1;
    job.index = 4;
    const Outcome full = RunMerge(job, Out());
    ASSERT_TRUE(full.ok);
    ASSERT_FALSE(full.progress.empty());
    EXPECT_EQ(full.progress.front().second, 5);
    EXPECT_EQ(full.progress.back().second, 100);
    for (std::size_t k = 0; k < full.progress.size(); ++k) {
        EXPECT_EQ(full.progress[k].first, 4);
        if (k > 0) {
            EXPECT_GE(full.progress[k].second, full.progress[k - 1].second);
        }
    }
    // Per source: every row rises on its own and ends at 100.
    job.index = -1;
    const Outcome rows = RunMerge(job, Out("rows.pdf"));
    ASSERT_TRUE(rows.ok);
    for (int row = 0; row < 3; ++row) {
        std::vector<int> values;
        for (const auto& [index, value] : rows.progress)
            if (index == row)
                values.push_back(value);
        ASSERT_FALSE(values.empty()) << row;
        EXPECT_TRUE(std::is_sorted(values.begin(), values.end())) << row;
        EXPECT_EQ(values.back(), 100) << row;
    }
    // A cancel at any question: false, and no file.
    job.index = 4;
    for (int at = 0; at < full.cancelQuestions; ++at) {
        job.cancelAt = at;
        const fs::path out = Out("cancel" + std::to_string(at) + ".pdf");
        EXPECT_FALSE(RunMerge(job, out).ok) << at;
        EXPECT_FALSE(fs::exists(out)) << at;
    }
    EXPECT_GT(full.cancelQuestions, 8);
}

// ---- the corpus -----------------------------------------------------------------

// Every real-world file is laid out two to a sheet, or fails cleanly with
// nothing written.
TEST_F(Merger, CorpusFilesMergeOrFailCleanly)
{
    int merged = 0;
    for (const auto& file : fixtures::Corpus()) {
        SCOPED_TRACE(file.filename().string());
        Job job;
        job.sources = {SourceSpec{file.string()}};
        job.nup = 1;
        const fs::path out = Out(file.filename().string());
        if (!RunMerge(job, out).ok) {
            EXPECT_FALSE(fs::exists(out));
            continue;
        }
        ++merged;
        int pages = fixtures::QpdfPages(file.string());
        if (pages <= 0)
            pages = fixtures::CorpusIndexPages(file);
        ExpectSoundPdf(out, (pages + 1) / 2);
    }
    if (!fixtures::Corpus().empty()) {
        EXPECT_GT(merged, 25);
    }
}

} // namespace
