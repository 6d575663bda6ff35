// Fills a DocData by hand the way the document builder does: paragraphs of
// runs with their character properties, one section, a font table, and
// optionally pictures and hyperlinks, for the writer's tests.
#pragma once

#include "wordlib/docdata.h"

#include <string>
#include <vector>

namespace scrivlet::testfill {

struct Run {
    std::u16string text;
    PropertyList chpx;
};

inline Ffn MakeFont(const std::u16string& name, std::uint8_t ff = 0x16)
{
    Ffn f;
    f.head[0] = ff;              // prq 2, TrueType, family
    Store16(f.head.data() + 1, 400);
    f.name = name;
    return f;
}

// Runs, each run its own CHPX list; every 0x0D ends a paragraph. The text
// must end with 0x0D. 8-bit text keeps the low byte of each unit.
inline void FillText(DocData& doc, const std::vector<Run>& runs, bool unicode)
{
    std::u16string all;
    ChpxFkp chpx;
    chpx.fcs.push_back(0);
    for (const Run& r : runs) {
        all += r.text;
        chpx.fcs.push_back(static_cast<std::uint32_t>(all.size()));
        chpx.lists.push_back(r.chpx);
    }
    PapxFkp papx;
    papx.fcs.push_back(0);
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i] == 0x0D) {
            papx.fcs.push_back(static_cast<std::uint32_t>(i + 1));
            papx.bx.push_back(BxPap{});
            papx.entries.push_back(PapxEntry{});
        }
    }
    doc.unicode = unicode;
    doc.text = all;
    doc.text8.clear();
    for (char16_t c : all)
        doc.text8.push_back(static_cast<char>(c & 0xFF));
    doc.fonts = {MakeFont(u"Times New Roman"), MakeFont(u"Symbol", 0x05), MakeFont(u"Arial", 0x26)};
    doc.officeArt.ccpText = static_cast<std::uint32_t>(all.size());
    if (all.empty()) {
        // No text: no pages and no sections.
        doc.plcBteChpx.cps = {0};
        doc.plcBtePapx.cps = {0};
        return;
    }
    doc.chpxFkps = {chpx};
    doc.papxFkps = {papx};
    doc.plcBteChpx.cps = {0, static_cast<std::uint32_t>(all.size())};
    doc.plcBtePapx.cps = {0, static_cast<std::uint32_t>(all.size())};
    doc.plcfSed.cps = {0, static_cast<std::uint32_t>(all.size())};
    doc.sepxs = {PropertyList{}};
}

inline Sprm Op32(std::uint16_t code, std::uint32_t v)
{
    return Sprm{code, {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                       static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)}};
}

// An inline JPEG picture of `jpeg` bytes shown at width x height twips:
// its Data stream entry (index `index` of doc.pictures) and the run that
// stands for it.
inline Run AddPicture(DocData& doc, const std::vector<std::uint8_t>& jpeg, std::uint16_t width, std::uint16_t height)
{
    PictureEntry p;
    Store16(p.picf.data() + 4, static_cast<std::uint16_t>(kPicfSize));   // cbHeader
    Store16(p.picf.data() + 6, 100);                                      // mm: a shape follows
    Store16(p.picf.data() + 28, width);                                   // dxaGoal
    Store16(p.picf.data() + 30, height);                                  // dyaGoal
    Store16(p.picf.data() + 32, 1000);                                    // mx
    Store16(p.picf.data() + 34, 1000);                                    // my
    OfficeArtSpContainer& shape = p.shape;
    shape.markPresent();
    shape.shape.markPresent();
    shape.shape.setInstance(75);   // picture frame
    shape.shape.spid = 1025;
    shape.shape.flags = 0x0A00;
    shape.opt.markPresent();
    shape.opt.add(0x00BF, 0x00040004);
    shape.opt.add(0x4104, 1);   // pib: the first blip
    shape.opt.add(0x013F, 0x00060000);
    shape.opt.add(0x01BF, 0x00100000);
    shape.opt.add(0x01FF, 0x00080000);
    BStoreEntry e;
    e.recType = kRtFBSE;
    e.fbse.markPresent();
    e.fbse.fixed[0] = 5;   // btWin32: JPEG
    e.fbse.fixed[1] = 5;   // btMacOS
    e.fbse.fixed[18] = 0xFF;
    Store32(e.fbse.fixed.data() + 24, 1);   // cRef
    auto blip = std::make_unique<OfficeArtBlipJPEG>();
    blip->markPresent();
    blip->setInstance(0x46A);
    blip->picture = jpeg.data();
    blip->pictureSize = jpeg.size();
    e.fbse.blip.markPresent();
    e.fbse.blip.jpeg = std::move(blip);
    p.blips.push_back(std::move(e));
    const auto index = static_cast<std::uint32_t>(doc.pictures.size());
    doc.pictures.push_back(std::move(p));
    doc.picture = true;
    return Run{u"\x01", {Op32(kSprmCPicLocation, index), Sprm{kSprmCFSpec, {1}}}};
}

} // namespace scrivlet::testfill
