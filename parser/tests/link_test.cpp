// Link annotations against `qpdf --json`.
#include "test_support.h"

#include <sstream>

using namespace ptest;

namespace {

struct OracleLink {
    int page;
    double x0, y0, x1, y1;
    std::string kind; // uri or page
    std::string target;
};

// Reads the link annotations of every page from qpdf's JSON: the rectangle,
// and the URI or the index (from 0) of the destination page.
std::vector<OracleLink> QpdfLinks(const std::string& pdf)
{
    const char* script = R"PY(
import json, sys
d = json.load(sys.stdin)
objs = d["qpdf"][1]
def val(ref):
    return objs.get("obj:" + ref, {}).get("value")
pages = [p["object"] for p in d["pages"]]
for i, ref in enumerate(pages):
    for a in (val(ref).get("/Annots") or []):
        annot = val(a) if isinstance(a, str) else a
        if annot.get("/Subtype") != "/Link":
            continue
        r = annot["/Rect"]
        act = annot.get("/A")
        if isinstance(act, str):
            act = val(act)
        if act and act.get("/S") == "/URI":
            print(i, r[0], r[1], r[2], r[3], "uri", act["/URI"][2:])
        else:
            dest = annot.get("/Dest") or (act or {}).get("/D")
            target = pages.index(dest[0]) if isinstance(dest, list) else -1
            print(i, r[0], r[1], r[2], r[3], "page", target)
)PY";
    const std::string out =
        Shell("qpdf --json " + Q(pdf) + " | /usr/bin/python3 -c " + Q(script) + " 2>/dev/null");
    std::vector<OracleLink> links;
    std::istringstream in(out);
    OracleLink l;
    while (in >> l.page >> l.x0 >> l.y0 >> l.x1 >> l.y1 >> l.kind >> l.target)
        links.push_back(l);
    return links;
}

} // namespace

TEST(Links, RectanglesAndTargetsMatchQpdf)
{
    for (const char* file : {"links.pdf"}) {
        SCOPED_TRACE(file);
        const auto oracle = QpdfLinks(Fixture(file));
        ASSERT_EQ(oracle.size(), 3u);
        Parser p;
        p.Load(WFixture(file), false, nullptr);
        std::size_t seen = 0;
        for (int page = 0; page < p.GetPageCount(); ++page) {
            PageObjects o = Walk(p, page);
            std::vector<OracleLink> expected;
            for (const OracleLink& l : oracle)
                if (l.page == page)
                    expected.push_back(l);
            ASSERT_EQ(o.links.size(), expected.size());
            for (LinkCollect* link : o.links) {
                double x, y, w, h;
                link->GetRect(x, y, w, h);
                const OracleLink* match = nullptr;
                for (const OracleLink& e : expected)
                    if (std::abs(e.x0 - x) < 0.01 && std::abs(e.y0 - y) < 0.01)
                        match = &e;
                ASSERT_NE(match, nullptr) << "no link at " << x << "," << y;
                EXPECT_NEAR(w, match->x1 - match->x0, 0.01);
                EXPECT_NEAR(h, match->y1 - match->y0, 0.01);
                EXPECT_EQ(link->GetMatrix().e, x);
                if (match->kind == "uri") {
                    EXPECT_EQ(link->GetType(), kLinkUri);
                    EXPECT_EQ(link->GetURI(), match->target);
                } else {
                    EXPECT_EQ(link->GetType(), kLinkPage);
                    EXPECT_EQ(link->GetPage(), std::stoi(match->target)) << "pages count from 0";
                }
                ++seen;
            }
        }
        EXPECT_EQ(seen, oracle.size());
    }
}

TEST(Links, CorpusLinkCountsMatchQpdf)
{
    if (CorpusMissing())
        GTEST_SKIP() << "no corpus at " << Corpus();
    for (const char* name : {"016-libre-office-link_libre-office-link.pdf",
                             "006-pdflatex-outline_pdflatex-outline.pdf"}) {
        SCOPED_TRACE(name);
        const std::string file = Corpus() + "/" + name;
        const auto oracle = QpdfLinks(file);
        Parser p;
        p.Load(Wide(file), false, nullptr);
        std::size_t count = 0;
        for (int page = 0; page < p.GetPageCount(); ++page)
            for (LinkCollect* l : Walk(p, page).links) {
                ++count;
                if (l->GetType() == kLinkPage) {
                    EXPECT_GE(l->GetPage(), 0);
                    EXPECT_LT(l->GetPage(), p.GetPageCount());
                }
            }
        EXPECT_EQ(count, oracle.size());
    }
}

// On a page shown turned, the link turns with its text.
TEST(Links, RotatedPageLinkCoversItsWord)
{
    const auto oracle = QpdfLinks(Fixture("links_rotated.pdf"));
    ASSERT_EQ(oracle.size(), 1u);
    Parser p;
    p.Load(WFixture("links_rotated.pdf"), false, nullptr);
    PageObjects o = Walk(p, 0);
    ASSERT_EQ(o.links.size(), 1u);
    ASSERT_EQ(o.text.size(), 1u);
    double x, y, w, h;
    o.links[0]->GetRect(x, y, w, h);
    EXPECT_NEAR(w, oracle[0].y1 - oracle[0].y0, 0.01);
    EXPECT_NEAR(h, oracle[0].x1 - oracle[0].x0, 0.01);
    double x0, y0, x1, y1;
    WordBox(*o.text[0], x0, y0, x1, y1);
    EXPECT_LE(x, x0);
    EXPECT_LE(y, y0);
    EXPECT_GE(x + w, x1);
    EXPECT_GE(y + h, y1);
    EXPECT_EQ(o.links[0]->GetURI(), "https://example.com/r");
}
