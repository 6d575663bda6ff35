#include "wordlib/wordwriter.h"

#include <algorithm>
#include <cstring>

namespace scrivlet {

namespace {

// The FIB: FibBase, csw, FibRgW97, cslw, FibRgLw97, cbRgFcLcb, then room
// for the largest FibRgFcLcb; cswNew and FibRgCswNew are kept apart.
constexpr std::size_t kFibBaseSize = 32;
constexpr std::size_t kCswAt = 32;
constexpr std::size_t kFibRgWAt = 34;
constexpr std::size_t kCslwAt = 62;
constexpr std::size_t kFibRgLwAt = 64;
constexpr std::size_t kCbRgFcLcbAt = 152;
constexpr std::size_t kPairsAt = 154;
constexpr std::size_t kMaxPairs = 183;
constexpr std::size_t kFibImageSize = kPairsAt + 8 * kMaxPairs;
constexpr std::uint16_t kWord97Pairs = 93;

// FibRgLw97 fields.
constexpr std::size_t kCbMac = kFibRgLwAt + 0;
constexpr std::size_t kCcpText = kFibRgLwAt + 12;
constexpr std::size_t kCcpTxbx = kFibRgLwAt + 36;

constexpr std::uint16_t kFlagWhichTblStm = 0x0200;
constexpr std::uint32_t kCompressed = 0x40000000;
constexpr std::uint64_t kPage = 512;
constexpr std::uint32_t kMaxPageNumber = 0x3FFFFF;

constexpr std::uint8_t kFibBaseTemplate[kFibBaseSize] = {
    0xEC, 0xA5,               // wIdent
    0xC1, 0x00,               // nFib
    0x00, 0x00,               // unused
    0x09, 0x04,               // lid
    0x00, 0x00,               // pnNext
    0xF0, 0x52,               // cQuickSaves 15, fWhichTblStm, fExtChar, fFarEast
    0xBF, 0x00,               // nFibBack
    0x00, 0x00, 0x00, 0x00,   // lKey
    0x00, 0x00,               // envr, flags
    0x00, 0x00, 0x00, 0x00,   // reserved
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

std::uint64_t RoundUp(std::uint64_t v, std::uint64_t to)
{
    return (v + to - 1) / to * to;
}

Sprm* FindSprm(PropertyList& list, std::uint16_t code)
{
    for (Sprm& s : list) {
        if (s.sprm == code)
            return &s;
    }
    return nullptr;
}

// The DOP length a FIB with cswNew announces through nFibNew; 0 for an
// unknown nFibNew.
std::size_t DopLength(std::uint16_t cswNew, std::uint16_t nFibNew)
{
    if (cswNew == 0)
        return kDop97Size;
    switch (nFibNew) {
    case 0x00D9:
        return 544;
    case 0x0101:
        return 594;
    case 0x010C:
        return 616;
    case 0x0112:
        return 674;
    default:
        return 0;
    }
}

} // namespace

WordBinaryFileWriter::WordBinaryFileWriter()
{
    setFile(&ownFile_);
    reset();
    if (initialize())
        initializeFib();
}

WordBinaryFileWriter::~WordBinaryFileWriter() = default;

void WordBinaryFileWriter::reset()
{
    initialize();
    fib_.assign(kFibImageSize, 0);
    cswNew_ = 0;
    fibRgCswNew_.fill(0);
    clear();
    wordStream_ = tableStream_ = dataStream_ = -1;
    wordEnd_ = tableEnd_ = dataEnd_ = 0;
    textOffset_ = 0;
    pictureOffsets_.clear();
    objectOffsets_.clear();
}

void WordBinaryFileWriter::initializeFib()
{
    fib_.assign(kFibImageSize, 0);
    std::memcpy(fib_.data(), kFibBaseTemplate, kFibBaseSize);
    Store16(fib_.data() + kCswAt, 14);
    Store16(fib_.data() + kFibRgWAt + 26, 0x0409);   // lidFE
    Store16(fib_.data() + kCslwAt, 22);
    Store32(fib_.data() + kCbMac, 4096);
    Store32(fib_.data() + kCcpText, 1);
    Store16(fib_.data() + kCbRgFcLcbAt, kWord97Pairs);
    cswNew_ = 0;
    fibRgCswNew_.fill(0);
}

bool WordBinaryFileWriter::prepare(const std::string& folder)
{
    reset();
    initializeFib();
    return loadDocDefaults(folder);
}

std::size_t WordBinaryFileWriter::fibSize() const
{
    return kPairsAt + 8 * std::size_t{Load16(fib_.data() + kCbRgFcLcbAt)} + 2 + 2 * std::size_t{cswNew_};
}

void WordBinaryFileWriter::setPair(std::size_t index, std::uint32_t fc, std::uint32_t lcb)
{
    if (index >= kMaxPairs)
        return;
    Store32(fib_.data() + kPairsAt + 8 * index, fc);
    Store32(fib_.data() + kPairsAt + 8 * index + 4, lcb);
}

void WordBinaryFileWriter::pair(std::size_t index, std::uint32_t& fc, std::uint32_t& lcb) const
{
    fc = lcb = 0;
    if (index >= kMaxPairs)
        return;
    fc = Load32(fib_.data() + kPairsAt + 8 * index);
    lcb = Load32(fib_.data() + kPairsAt + 8 * index + 4);
}

template <class F>
bool WordBinaryFileWriter::tableItem(std::size_t index, F write)
{
    StreamSink sink(*this, tableStream_);
    StreamOut out(sink, tableEnd_);
    const std::uint64_t start = tableEnd_;
    if (!write(out))
        return false;
    const std::uint64_t length = out.offset() - start;
    if (out.offset() > 0xFFFFFFFF)
        return false;
    setPair(index, static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(length));
    tableEnd_ = out.offset();
    return true;
}

bool WordBinaryFileWriter::commit()
{
    if (fib_.size() != kFibImageSize || Load16(fib_.data() + kCbRgFcLcbAt) > kMaxPairs || cswNew_ > 5)
        return false;
    pictureOffsets_.clear();
    objectOffsets_.clear();
    if (!initialize())
        return false;
    if (!createStream(u"WordDocument", 0, wordStream_))
        return false;
    wordEnd_ = fibSize();
    const bool table1 = (Load16(fib_.data() + 10) & kFlagWhichTblStm) != 0;
    if (!createStream(table1 ? u"1Table" : u"0Table", 0, tableStream_))
        return false;
    tableEnd_ = 0;
    dataStream_ = -1;
    if (picture || drawingContent) {
        if (!createStream(u"Data", 0, dataStream_))
            return false;
        dataEnd_ = 0;
        if (!writeDataStream())
            return false;
        patchPictureLocations();
    }
    return writeText() && writeTables() && writeFkps() && writeSections() && writeDrawings() && writeFib() &&
           finish();
}

bool WordBinaryFileWriter::writeDataStream()
{
    StreamSink sink(*this, dataStream_);
    StreamOut out(sink, dataEnd_);
    for (PictureEntry& p : pictures) {
        if (out.offset() > 0xFFFFFFFF)
            return false;
        pictureOffsets_.push_back(static_cast<std::uint32_t>(out.offset()));
        if (!writePICFAndOfficeArtData(p, out))
            return false;
    }
    for (ObjectEntry& o : objects) {
        if (out.offset() > 0xFFFFFFFF)
            return false;
        objectOffsets_.push_back(static_cast<std::uint32_t>(out.offset()));
        if (!writeHyperlinkData(o.data, out))
            return false;
    }
    dataEnd_ = out.offset();
    return true;
}

void WordBinaryFileWriter::patchPictureLocations()
{
    for (ChpxFkp& fkp : chpxFkps) {
        for (PropertyList& list : fkp.lists) {
            Sprm* loc = FindSprm(list, kSprmCPicLocation);
            if (!loc || loc->operand.size() < 4)
                continue;
            const std::vector<std::uint32_t>& offsets =
                FindSprm(list, kSprmCFData) ? objectOffsets_ : pictureOffsets_;
            const auto index = static_cast<std::int32_t>(Load32(loc->operand.data()));
            if (index >= 0 && static_cast<std::size_t>(index) < offsets.size())
                Store32(loc->operand.data(), offsets[static_cast<std::size_t>(index)]);
        }
    }
}

bool WordBinaryFileWriter::writeText()
{
    const std::size_t chars = unicode ? text.size() : text8.size();
    const std::uint64_t bytes = unicode ? 2 * std::uint64_t{chars} : chars;
    if (wordEnd_ + bytes > 0x3FFFFFFF)
        return false;
    textOffset_ = static_cast<std::uint32_t>(wordEnd_);
    if (unicode) {
        std::vector<std::uint8_t> utf16(static_cast<std::size_t>(bytes));
        for (std::size_t i = 0; i < chars; ++i)
            Store16(utf16.data() + 2 * i, static_cast<std::uint16_t>(text[i]));
        if (!CFBWriter::writeAt(wordStream_, wordEnd_, utf16.data(), utf16.size()))
            return false;
    } else if (!CFBWriter::writeAt(wordStream_, wordEnd_, text8.data(), text8.size())) {
        return false;
    }
    wordEnd_ += bytes;

    // One piece holding all of the text.
    Pcd piece;
    piece.fc = unicode ? textOffset_ : (2 * textOffset_) | kCompressed;
    clx.pieces.cps = {0, static_cast<std::uint32_t>(chars)};
    clx.pieces.items = {piece};

    // Character positions become stream offsets.
    auto toFc = [this](std::uint32_t cp) {
        return unicode ? textOffset_ + 2 * cp : textOffset_ + cp;
    };
    for (std::uint32_t& fc : plcBteChpx.cps)
        fc = toFc(fc);
    for (std::uint32_t& fc : plcBtePapx.cps)
        fc = toFc(fc);
    for (ChpxFkp& fkp : chpxFkps) {
        for (std::uint32_t& fc : fkp.fcs)
            fc = toFc(fc);
    }
    for (PapxFkp& fkp : papxFkps) {
        for (std::uint32_t& fc : fkp.fcs)
            fc = toFc(fc);
    }

    std::uint32_t ccpText = officeArt.ccpText;
    const std::uint32_t ccpTxbx = officeArt.ccpTxbx;
    // A model that names no story lengths holds only main text.
    if (ccpText == 0 && ccpTxbx == 0)
        ccpText = static_cast<std::uint32_t>(chars);
    Store32(fib_.data() + kCcpText, ccpText);
    Store32(fib_.data() + kCcpTxbx, ccpTxbx);
    return true;
}

bool WordBinaryFileWriter::writeTables()
{
    if (!selectStream(tableStream_))
        return false;
    // The font table from the font list when the model holds no table.
    if (sttbfFfn.entries.empty() && !fonts.empty()) {
        sttbfFfn = Sttb{};
        sttbfFfn.fExtend = 0;
        for (const Ffn& f : fonts) {
            const std::vector<std::uint8_t> bytes = writeFfn(f);
            SttbEntry e;
            e.bytes.assign(bytes.begin(), bytes.end());
            sttbfFfn.entries.push_back(std::move(e));
        }
        sttbfFfn.cData = static_cast<std::uint32_t>(sttbfFfn.entries.size());
    }
    const std::size_t dopLength = DopLength(cswNew_, Load16(fibRgCswNew_.data()));
    if (!dopLength)
        return false;
    if (!tableItem(kFibStshf, [this](StreamOut& o) { return writeStsh(stsh, o); }) ||
        !tableItem(kFibSttbfAssoc, [this](StreamOut& o) { return writeSttbW(sttbfAssoc, o); }) ||
        !tableItem(kFibSttbfFfn, [this](StreamOut& o) { return writeSttb(sttbfFfn, o); }) ||
        !tableItem(kFibClx, [this](StreamOut& o) { return writeClx(clx, o); }) ||
        !tableItem(kFibDop, [this, dopLength](StreamOut& o) { return o.put(dop.data(), dopLength); }))
        return false;
    if (!plcfFldMom.cps.empty() && !tableItem(kFibPlcfFldMom, [this](StreamOut& o) { return writePlcFld(plcfFldMom, o); }))
        return false;
    if (!plcfFldTxbx.cps.empty() &&
        !tableItem(kFibPlcfFldTxbx, [this](StreamOut& o) { return writePlcFld(plcfFldTxbx, o); }))
        return false;
    if (!plcfBkf.cps.empty()) {
        if (!tableItem(kFibPlcfBkf, [this](StreamOut& o) { return writePlc4(plcfBkf, o); }) ||
            !tableItem(kFibPlcfBkl,
                       [this](StreamOut& o) {
                           for (std::uint32_t cp : plcfBklCps) {
                               if (!o.u32(cp))
                                   return false;
                           }
                           return true;
                       }) ||
            !tableItem(kFibSttbfBkmk, [this](StreamOut& o) { return writeSttbW(sttbfBkmk, o); }))
            return false;
    }
    return true;
}

bool WordBinaryFileWriter::writeFkps()
{
    if (plcBteChpx.cps.size() != chpxFkps.size() + 1 || plcBtePapx.cps.size() != papxFkps.size() + 1)
        return false;
    wordEnd_ = RoundUp(wordEnd_, kPage);
    std::uint8_t page[kFkpSize];
    plcBteChpx.items.assign(chpxFkps.size(), Elem4{});
    for (std::size_t i = 0; i < chpxFkps.size(); ++i) {
        if (!writeChpxFkp(chpxFkps[i], page) || !CFBWriter::writeAt(wordStream_, wordEnd_, page, sizeof page))
            return false;
        plcBteChpx.items[i].value = static_cast<std::uint32_t>(wordEnd_ / kPage) & kMaxPageNumber;
        wordEnd_ += kPage;
    }
    plcBtePapx.items.assign(papxFkps.size(), Elem4{});
    for (std::size_t i = 0; i < papxFkps.size(); ++i) {
        if (!writePapxFkp(papxFkps[i], page) || !CFBWriter::writeAt(wordStream_, wordEnd_, page, sizeof page))
            return false;
        plcBtePapx.items[i].value = static_cast<std::uint32_t>(wordEnd_ / kPage) & kMaxPageNumber;
        wordEnd_ += kPage;
    }
    return tableItem(kFibPlcfBteChpx, [this](StreamOut& o) { return writePlc4(plcBteChpx, o); }) &&
           tableItem(kFibPlcfBtePapx, [this](StreamOut& o) { return writePlc4(plcBtePapx, o); });
}

bool WordBinaryFileWriter::writeSections()
{
    if (plcfSed.cps.empty() && sepxs.empty())
        return true;
    if (plcfSed.cps.size() != sepxs.size() + 1)
        return false;
    plcfSed.items.assign(sepxs.size(), Sed{});
    StreamSink sink(*this, wordStream_);
    for (std::size_t i = 0; i < sepxs.size(); ++i) {
        if (wordEnd_ > 0xFFFFFFFF)
            return false;
        StreamOut out(sink, wordEnd_);
        Sed& sed = plcfSed.items[i];
        sed.fcSepx = static_cast<std::uint32_t>(wordEnd_);
        if (!writeSepx(sepxs[i], out))
            return false;
        wordEnd_ = out.offset();
    }
    return tableItem(kFibPlcfSed, [this](StreamOut& o) { return writePlcfSed(plcfSed, o); });
}

bool WordBinaryFileWriter::writeDrawings()
{
    if (!drawing)
        return true;
    if (textBox) {
        if (!tableItem(kFibPlcftxbxTxt, [this](StreamOut& o) { return writePlcftxbxTxt(plcftxbxTxt, o); }) ||
            !tableItem(kFibPlcfTxbxBkd, [this](StreamOut& o) { return writePlcfTxbxBkd(plcfTxbxBkd, o); }))
            return false;
    }
    if (!plcSpaMom.cps.empty() && !tableItem(kFibPlcSpaMom, [this](StreamOut& o) { return writePlcSpa(plcSpaMom, o); }))
        return false;
    return tableItem(kFibDggInfo, [this](StreamOut& o) { return writeOfficeArtContent(officeArt, o); });
}

bool WordBinaryFileWriter::writeFib()
{
    const std::uint64_t cbMac = RoundUp(wordEnd_, kPage);
    if (cbMac > 0xFFFFFFFF)
        return false;
    Store32(fib_.data() + kCbMac, static_cast<std::uint32_t>(cbMac));
    const std::size_t head = kPairsAt + 8 * std::size_t{Load16(fib_.data() + kCbRgFcLcbAt)};
    std::uint8_t csw[2];
    Store16(csw, cswNew_);
    return CFBWriter::writeAt(wordStream_, 0, fib_.data(), head) && CFBWriter::writeAt(wordStream_, head, csw, 2) &&
           (cswNew_ == 0 || CFBWriter::writeAt(wordStream_, head + 2, fibRgCswNew_.data(), 2 * std::size_t{cswNew_}));
}

} // namespace scrivlet
