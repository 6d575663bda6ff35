#include "wordlib/docdata.h"

#include "wordlib/fileobject.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <new>

namespace scrivlet {

namespace {

// Drawing ids and shape ids of the one drawing a written document has: the
// drawing's group shape takes 1031, the shapes of the builder 1032 on.
constexpr std::uint32_t kDrawingId = 1;
constexpr std::uint32_t kGroupShapeId = 1031;
constexpr std::uint32_t kSpidMax = 4096;
constexpr std::uint32_t kShapeFlagsGroupPatriarch = 0x5;

// DTTM of the default creation and revision dates.
constexpr std::uint32_t kDefaultDttm = 0x6704CAB4;

// East Asian line breaking: characters that may not begin a line, and
// characters that may not end one.
constexpr char16_t kFollowingPunct[] = {
    0x0021, 0x0025, 0x0029, 0x002C, 0x002E, 0x003A, 0x003B, 0x003F, 0x005D, 0x007D, 0x00A2, 0x00B0,
    0x2019, 0x201D, 0x2030, 0x2032, 0x2033, 0x2103, 0x3001, 0x3002, 0x3005, 0x3009, 0x300B, 0x300D,
    0x300F, 0x3011, 0x3015, 0x309B, 0x309C, 0x309D, 0x309E, 0x30FB, 0x30FD, 0x30FE, 0xFF01, 0xFF05,
    0xFF09, 0xFF0C, 0xFF0E, 0xFF1A, 0xFF1B, 0xFF1F, 0xFF3D, 0xFF5D, 0xFFE0};
constexpr char16_t kLeadingPunct[] = {0x0024, 0x0028, 0x005B, 0x007B, 0x00A3, 0x00A5, 0x2018,
                                      0x201C, 0x3008, 0x300A, 0x300C, 0x300E, 0x3010, 0x3014,
                                      0xFF04, 0xFF08, 0xFF3B, 0xFF5B, 0xFFE5};
static_assert(std::size(kFollowingPunct) == 45 && std::size(kLeadingPunct) == 19);

// Offsets in the DOP image.
constexpr std::size_t kDopTypography = 174;
constexpr std::size_t kDopGrid = 484;

std::array<std::uint8_t, kDopImageSize> MakeDefaultDop()
{
    std::array<std::uint8_t, kDopImageSize> d{};
    std::uint8_t* p = d.data();
    Store16(p + 0, 1 << 5);          // fpc 1 (footnotes at the page bottom)
    Store16(p + 2, 1 << 2);          // nFtn 1
    Store16(p + 10, 420);            // dxaTab
    Store16(p + 14, 360);            // dxaHotZ
    Store32(p + 20, kDefaultDttm);   // dttmCreated
    Store32(p + 24, kDefaultDttm);   // dttmRevised
    Store16(p + 32, 1);              // nRevision
    Store32(p + 34, 1);              // tmEdited
    Store16(p + 46, 1);              // cPg
    Store32(p + 48, 1);              // cParas
    Store16(p + 52, 1 << 2);         // nEdn 1
    Store16(p + 54, 3);              // epc 3 (endnotes at the document end)
    Store32(p + 56, 1);              // cLines
    Store16(p + 68, 1);              // cPgWithSubdocs
    Store32(p + 70, 1);              // cParasWithSubdocs
    Store32(p + 74, 1);              // cLinesWithSubdocs
    Store16(p + 82, 1 | (100 << 3)); // wvkoSaved 1, pctWwdSaved 100
    std::uint8_t* t = p + kDopTypography;
    Store16(t, 3);
    Store16(t + 2, static_cast<std::uint16_t>(std::size(kFollowingPunct)));
    Store16(t + 4, static_cast<std::uint16_t>(std::size(kLeadingPunct)));
    for (std::size_t i = 0; i < std::size(kFollowingPunct); ++i)
        Store16(t + 6 + 2 * i, kFollowingPunct[i]);
    for (std::size_t i = 0; i < std::size(kLeadingPunct); ++i)
        Store16(t + 6 + 202 + 2 * i, kLeadingPunct[i]);
    std::uint8_t* g = p + kDopGrid;
    Store16(g + 4, 180);   // dxaGrid
    Store16(g + 6, 180);   // dyaGrid
    return d;
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out)
{
    FileObjectPosix file;
    if (!file.open(path, kFileReadExisting))
        return false;
    const std::uint64_t size = file.size();
    bool ok = size != UINT64_MAX && size <= 0x7FFFFFFF;
    if (ok) {
        try {
            out.assign(static_cast<std::size_t>(size), 0);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    ok = ok && file.seek(0, 0) == 0 && file.read(out.data(), out.size());
    file.close();
    return ok;
}

// Standard style identifiers.
constexpr std::uint16_t kStiNormal = 0;
constexpr std::uint16_t kStiDefaultParagraphFont = 65;
constexpr std::uint16_t kNoBase = 0x0FFF;

Std MakeStyle(std::uint16_t sti, unsigned stk, unsigned cupx, std::uint16_t istdNext, const std::u16string& name,
              std::vector<Upx> upxs)
{
    Std s;
    s.empty = false;
    Store16(s.base.data(), sti);
    Store16(s.base.data() + 2, static_cast<std::uint16_t>(stk | (kNoBase << 4)));
    Store16(s.base.data() + 4, static_cast<std::uint16_t>(cupx | (istdNext << 4)));
    s.name = name;
    s.upxs = std::move(upxs);
    // bchUpe: the size of the style entry, filled in once it is known.
    std::vector<std::uint8_t> bytes;
    VectorSink sink(bytes);
    StreamOut out(sink, 0);
    if (writeStd(s, 10, out) && bytes.size() >= 2)
        Store16(s.base.data() + 6, Load16(bytes.data()));
    return s;
}

} // namespace

const std::array<std::uint8_t, kDopImageSize>& DefaultDop()
{
    static const std::array<std::uint8_t, kDopImageSize> dop = MakeDefaultDop();
    return dop;
}

std::vector<std::uint8_t> BuildDefaultStyleSheet()
{
    StyleSheet s;
    constexpr std::uint16_t kStyles = 15;           // the fixed style slots
    constexpr std::uint16_t kStiMaxWhenSaved = 91;
    Store16(s.stshif.data(), kStyles);              // cstd
    Store16(s.stshif.data() + 2, 10);               // cbSTDBaseInFile
    Store16(s.stshif.data() + 4, 1);                // fStdStylenamesWritten
    Store16(s.stshif.data() + 6, kStiMaxWhenSaved);
    Store16(s.stshif.data() + 8, kStyles);          // istdMaxFixedWhenSaved
    s.hasLsd = true;
    s.cbLsd = 4;
    s.lsds.assign(kStiMaxWhenSaved, 0);
    s.styles.resize(kStyles);
    // Normal: 12 points in font 0 for every script.
    Upx papx;
    Upx chpx;
    chpx.props = {Sprm{0x4A43, {24, 0}}, Sprm{0x4A4F, {0, 0}}, Sprm{0x4A50, {0, 0}}, Sprm{0x4A51, {0, 0}}};
    s.styles[0] = MakeStyle(kStiNormal, 1, 2, 0, u"Normal", {papx, chpx});
    s.styles[10] = MakeStyle(kStiDefaultParagraphFont, 2, 1, 10, u"Default Paragraph Font", {Upx{}});
    std::vector<std::uint8_t> bytes;
    VectorSink sink(bytes);
    StreamOut out(sink, 0);
    if (!writeStsh(s, out))
        bytes.clear();
    return bytes;
}

std::vector<std::uint8_t> BuildDefaultAssociations()
{
    // Eighteen strings, all empty: no template, title, subject or author.
    Sttb t;
    t.fExtend = 0xFFFF;
    t.cData = 18;
    t.entries.resize(18);
    std::vector<std::uint8_t> bytes;
    VectorSink sink(bytes);
    StreamOut out(sink, 0);
    if (!writeSttbW(t, out))
        bytes.clear();
    return bytes;
}

std::string DataFolder()
{
    std::string folder = ".";
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&DataFolder), &info) && info.dli_fname) {
        const std::string lib = info.dli_fname;
        const std::size_t slash = lib.rfind('/');
        if (slash != std::string::npos)
            folder = slash == 0 ? std::string() : lib.substr(0, slash);
    }
    folder += "/Data/";
    // Each folder of the path, created when missing; the first failure
    // stops the creation.
    for (std::size_t at = folder.find('/', 1); at != std::string::npos; at = folder.find('/', at + 1)) {
        const std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            break;
    }
    return folder;
}

bool loadDefaultStyleSheet(const std::string& folder, StyleSheet& out)
{
    std::vector<std::uint8_t> bytes;
    return ReadWholeFile(folder + "default_stsh", bytes) && readStsh(ByteReader(bytes), out);
}

bool loadDefaultAssociations(const std::string& folder, Sttb& out)
{
    std::vector<std::uint8_t> bytes;
    return ReadWholeFile(folder + "default_sttbfassoc", bytes) && readSttbW(ByteReader(bytes), out);
}

// DocData

DocData::DocData()
{
    clear();
}

DocData::~DocData() = default;

void DocData::clear()
{
    clx = Clx{};
    dop.fill(0);
    stsh = StyleSheet{};
    sttbfAssoc = Sttb{};
    sttbfFfn = Sttb{};
    sttbfFfn.fExtend = 0;
    sttbfBkmk = Sttb{};
    plcBteChpx = {};
    plcBtePapx = {};
    plcfSed = {};
    plcSpaMom = {};
    plcftxbxTxt = {};
    plcfTxbxBkd = {};
    plcfFldMom = {};
    plcfFldTxbx = {};
    plcfBkf = {};
    plcfBklCps.clear();
    papxFkps.clear();
    chpxFkps.clear();
    sepxs.clear();
    strings.clear();
    text.clear();
    text8.clear();
    fonts.clear();
    unicode = drawing = picture = textBox = drawingContent = false;
    officeArt.clear();
    pictures.clear();
    objects.clear();
    currentCp = pageCount = hyperlinkCount = mainTextLength = 0;
    bookmarks.clear();
}

bool DocData::loadDocDefaults(const std::string& folder)
{
    clear();
    dop = DefaultDop();
    const std::string dir = folder.empty() ? DataFolder() : folder;
    if (!loadDefaultStyleSheet(dir, stsh) || !loadDefaultAssociations(dir, sttbfAssoc))
        return false;
    initDrawingGroup();
    return true;
}

void DocData::initDrawingGroup()
{
    OfficeArtDggContainer& group = officeArt.group;
    group.reset();
    group.markPresent();
    OfficeArtFDGGBlock& fdgg = group.fdgg;
    fdgg.markPresent();
    fdgg.spidMax = kSpidMax;
    fdgg.cidcl = 2;
    fdgg.cspSaved = 1;
    fdgg.cdgSaved = 1;
    fdgg.idcls = {{kDrawingId, 1}};

    OfficeArtDrawing d;
    d.dgglbl = 0;
    OfficeArtDgContainer& dg = d.container;
    dg.markPresent();
    dg.drawing.markPresent();
    dg.drawing.setInstance(kDrawingId);
    dg.drawing.csp = 1;
    dg.drawing.spidCur = kGroupShapeId;
    dg.groupShape.markPresent();
    ShapeRef self;
    self.recType = kRtSpContainer;
    auto shape = std::make_unique<OfficeArtSpContainer>();
    shape->markPresent();
    shape->groupRect.markPresent();
    shape->shape.markPresent();
    shape->shape.setInstance(0);
    shape->shape.spid = kGroupShapeId;
    shape->shape.flags = kShapeFlagsGroupPatriarch;
    self.record = std::move(shape);
    dg.groupShape.members.push_back(std::move(self));
    officeArt.drawings.clear();
    officeArt.drawings.push_back(std::move(d));
    officeArt.nextShapeId = kGroupShapeId + 1;
}

bool DocData::addShape(std::uint32_t& id, const ShapeFill& fill)
{
    if (officeArt.drawings.empty())
        initDrawingGroup();
    auto shape = std::make_unique<OfficeArtSpContainer>();
    id = officeArt.nextShapeId;
    if (fill)
        fill(*shape, id);
    ++officeArt.nextShapeId;
    shape->markPresent();
    OfficeArtDgContainer& dg = officeArt.drawings.front().container;
    ShapeRef ref;
    ref.recType = kRtSpContainer;
    ref.record = std::move(shape);
    dg.groupShape.members.push_back(std::move(ref));
    dg.drawing.spidCur = id;
    OfficeArtFDGGBlock& fdgg = officeArt.group.fdgg;
    ++fdgg.cspSaved;
    if (!fdgg.idcls.empty())
        ++fdgg.idcls.front().cspidCur;
    return true;
}

// Picture entries

bool readPictureEntry(const std::vector<std::uint8_t>& data, std::uint64_t offset, PictureEntry& out)
{
    out.shape.reset();
    out.blips.clear();
    out.name.clear();
    out.buffers.clear();
    if (offset > data.size() || data.size() - offset < kPicfSize)
        return false;
    const std::uint8_t* start = data.data() + offset;
    const std::uint32_t lcb = Load32(start);
    if (lcb < kPicfSize || lcb > data.size() - offset)
        return false;
    ByteReader in(start, lcb);
    in.bytes(out.picf.data(), out.picf.size());
    if (out.mm() == 0x66) {
        std::uint8_t n = 0;
        if (!in.u8(n) || !in.append(out.name, n))
            return false;
    }
    const std::uint64_t shapeAt = offset + (lcb - in.left());
    const std::uint64_t end = offset + lcb;
    auto read = [&data](std::uint8_t* buffer, std::uint64_t at, std::size_t length) {
        if (at > data.size() || length > data.size() - at)
            return false;
        std::copy(data.begin() + static_cast<std::ptrdiff_t>(at),
                  data.begin() + static_cast<std::ptrdiff_t>(at + length), buffer);
        return true;
    };
    return scanPictureRecords(shapeAt, end, &out.shape, out.buffers, out.blips, read, false);
}

bool writePICFAndOfficeArtData(PictureEntry& entry, StreamOut& out)
{
    const std::uint64_t start = out.offset();
    if (!out.put(entry.picf.data(), entry.picf.size()))
        return false;
    if (entry.mm() == 0x66) {
        if (entry.name.size() > 0xFF || !out.u8(static_cast<std::uint8_t>(entry.name.size())) || !out.put(entry.name))
            return false;
    }
    if (!writeShapeAndBlips(entry.shape, entry.blips, out))
        return false;
    const std::uint64_t lcb = out.offset() - start;
    if (lcb > 0xFFFFFFFF)
        return false;
    Store32(entry.picf.data(), static_cast<std::uint32_t>(lcb));
    return out.patch32(start, static_cast<std::uint32_t>(lcb));
}

} // namespace scrivlet
