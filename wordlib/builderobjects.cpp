#include "wordlib/builderobjects.h"

#include "engine/layout/utf8.h"

#include <cmath>

namespace scrivlet {

namespace {

// Shape flags: the shape has an anchor and a shape type.
constexpr std::uint32_t kShapeFlags = 0x0A00;
constexpr unsigned kShapeTextBox = 0xCA;
constexpr unsigned kShapeFreeform = 0;
constexpr unsigned kShapeGeometricText = 136;
constexpr unsigned kShapePictureFrame = 75;

// Property ids (with the complex bit where the value is complex data).
constexpr std::uint16_t kRotation = 0x0004;
constexpr std::uint16_t kLTxid = 0x0080;
constexpr std::uint16_t kDxTextLeft = 0x0081;
constexpr std::uint16_t kDyTextTop = 0x0082;
constexpr std::uint16_t kDxTextRight = 0x0083;
constexpr std::uint16_t kDyTextBottom = 0x0084;
constexpr std::uint16_t kTextBooleans = 0x00BF;
constexpr std::uint16_t kGtextUnicode = 0xC0C0;
constexpr std::uint16_t kGtextSize = 0x00C3;
constexpr std::uint16_t kGtextFont = 0xC0C5;
constexpr std::uint16_t kGtextBooleans = 0x00FF;
constexpr std::uint16_t kPib = 0x4104;
constexpr std::uint16_t kBlipBooleans = 0x013F;
constexpr std::uint16_t kGeoRight = 0x0142;
constexpr std::uint16_t kGeoBottom = 0x0143;
constexpr std::uint16_t kShapePath = 0x0144;
constexpr std::uint16_t kPVertices = 0xC145;
constexpr std::uint16_t kPSegmentInfo = 0xC146;
constexpr std::uint16_t kFillType = 0x0180;
constexpr std::uint16_t kFillColor = 0x0181;
constexpr std::uint16_t kFillOpacity = 0x0182;
constexpr std::uint16_t kFillBooleans = 0x01BF;
constexpr std::uint16_t kLineColor = 0x01C0;
constexpr std::uint16_t kLineType = 0x01C4;
constexpr std::uint16_t kLineWidth = 0x01CB;
constexpr std::uint16_t kLineDashStyle = 0xC1CF;
constexpr std::uint16_t kLineBooleans = 0x01FF;
constexpr std::uint16_t kPerspectiveType = 0x0240;
constexpr std::uint16_t kPerspectiveOffsetX = 0x0241;
constexpr std::uint16_t kPerspectiveOffsetY = 0x0242;
constexpr std::uint16_t kPerspectiveScaleXToX = 0x0243;
constexpr std::uint16_t kPerspectiveScaleYToX = 0x0244;
constexpr std::uint16_t kPerspectiveScaleXToY = 0x0245;
constexpr std::uint16_t kPerspectiveScaleYToY = 0x0246;
constexpr std::uint16_t kPerspectiveOriginX = 0x024A;
constexpr std::uint16_t kPerspectiveOriginY = 0x024B;
constexpr std::uint16_t kPerspectiveBooleans = 0x027F;
constexpr std::uint16_t kGroupBooleans = 0x03BF;

constexpr std::uint32_t kNotFilled = 0x00100000;
constexpr std::uint32_t kFilled = 0x00100010;
constexpr std::uint32_t kNoLine = 0x00080000;
constexpr std::uint32_t kLine = 0x00080008;
constexpr std::uint32_t kBehindText = 0x00200020;

// Word's client records of a shape: anchor, data and text box.
constexpr std::uint16_t kRtClientTextbox = 0xF00D;

std::uint32_t ColorRef(const Rgb& c)
{
    return c.r | (c.g << 8) | (c.b << 16);
}

void BeginShape(OfficeArtSpContainer& shape, std::uint32_t spid, unsigned type)
{
    shape.setType();
    shape.markPresent();
    shape.shape.setType();
    shape.shape.markPresent();
    shape.shape.setInstance(type);
    shape.shape.spid = spid;
    shape.shape.flags = kShapeFlags;
    shape.opt.setType();
    shape.opt.markPresent();
}

void ClientRecords(OfficeArtSpContainer& shape)
{
    shape.clientAnchor.setRecType(kRtClientAnchor);
    shape.clientAnchor.markPresent();
    shape.clientAnchor.value = 0;
    shape.clientData.setRecType(kRtClientData);
    shape.clientData.markPresent();
    shape.clientData.value = 1;
}

std::vector<std::uint8_t> Utf16z(const std::u16string& s)
{
    std::vector<std::uint8_t> out;
    for (char16_t c : s) {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

ClassId Guid(std::uint32_t a, std::uint16_t b, std::uint16_t c, std::array<std::uint8_t, 8> d)
{
    ClassId id{};
    for (int i = 0; i < 4; ++i)
        id[i] = static_cast<std::uint8_t>(a >> (8 * i));
    id[4] = static_cast<std::uint8_t>(b);
    id[5] = static_cast<std::uint8_t>(b >> 8);
    id[6] = static_cast<std::uint8_t>(c);
    id[7] = static_cast<std::uint8_t>(c >> 8);
    for (int i = 0; i < 8; ++i)
        id[8 + i] = d[i];
    return id;
}

Ffn FontEntry(const std::string& name)
{
    Ffn f;
    f.head[0] = 0x16;   // variable pitch, TrueType, roman family
    f.head[1] = 400 & 0xFF;   // normal weight
    f.head[2] = 400 >> 8;
    f.name = utf8::ToUtf16(name);
    return f;
}

} // namespace

std::uint32_t FixedPoint16(double x)
{
    if (std::isnan(x))
        return 0;
    x = std::clamp(x, -32768.0, 32767.0 + 65535.0 / 65536.0);
    const double whole = std::floor(x);
    const auto high = static_cast<std::uint32_t>(static_cast<std::uint16_t>(static_cast<std::int16_t>(whole)));
    const auto low = static_cast<std::uint32_t>((x - whole) * 65536.0) & 0xFFFF;
    return (high << 16) | low;
}

std::uint32_t TwipsToEmu(double twips)
{
    if (!(twips > 0))
        return 0;
    const double emu = twips * 635.0;
    return emu >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(emu);
}

void FillTextBoxShape(OfficeArtSpContainer& shape, std::uint32_t spid, std::size_t story, bool behind)
{
    BeginShape(shape, spid, kShapeTextBox);
    const auto txid = static_cast<std::uint32_t>((story + 1) * 65536);
    shape.opt.add(kLTxid, txid);
    shape.opt.add(kDxTextLeft, 0);
    shape.opt.add(kDyTextTop, 0);
    shape.opt.add(kDxTextRight, 0);
    shape.opt.add(kDyTextBottom, 0);
    shape.opt.add(kTextBooleans, 0x00020002);   // fit the shape to its text
    shape.opt.add(kFillBooleans, kNotFilled);
    shape.opt.add(kLineBooleans, kNoLine);
    if (behind)
        shape.opt.add(kGroupBooleans, kBehindText);
    ClientRecords(shape);
    shape.clientTextbox.setRecType(kRtClientTextbox);
    shape.clientTextbox.markPresent();
    shape.clientTextbox.value = txid;
}

void FillPathShape(OfficeArtSpContainer& shape, std::uint32_t spid, const ShapeRequest& r)
{
    BeginShape(shape, spid, kShapeFreeform);
    const PathShape& path = *r.path;
    const GraphicGroup& group = *r.group;

    std::vector<MsoPoint> points;
    std::vector<std::uint16_t> segments;
    bool lastCurve = false;
    for (const Vertex& v : path.vertices) {
        points.push_back(MsoPoint{v.x - r.left, v.y - r.top});
        switch (v.kind) {
        case kVertexFirst:
            segments.push_back(0x4000);   // move to
            lastCurve = false;
            break;
        case kVertexLine:
            segments.push_back(0xAC00);   // escape: auto line
            segments.push_back(0x0001);   // line to, one segment
            lastCurve = false;
            break;
        case kVertexCurve:
            segments.push_back(0xAD00);   // escape: auto curve
            segments.push_back(0x2001);   // curve to, one segment
            lastCurve = true;
            break;
        case kVertexControl:
            break;
        default:   // the end
            segments.push_back(lastCurve ? 0xAD00 : 0xAC00);
            if (group.closed)
                segments.push_back(0x6001);   // close
            segments.push_back(0x8000);       // end
            break;
        }
    }
    std::vector<std::uint8_t> vertexData(MsoArraySize(points.size(), 0xFFF0));
    writeMsoArrayPoints(vertexData.data(), vertexData.size(), points, 0xFFF0);
    std::vector<std::uint8_t> segmentData(MsoArraySize(segments.size(), 2));
    writeMsoArray16(segmentData.data(), segmentData.size(), segments, 2);

    shape.opt.add(kGeoRight, static_cast<std::uint32_t>(r.right - r.left));
    shape.opt.add(kGeoBottom, static_cast<std::uint32_t>(r.bottom - r.top));
    shape.opt.add(kShapePath, 4);   // complex
    shape.opt.addComplex(kPVertices, vertexData);
    shape.opt.addComplex(kPSegmentInfo, segmentData);
    shape.opt.add(kFillType, 0);   // solid
    shape.opt.add(kFillColor, ColorRef(path.fill));
    shape.opt.add(kFillOpacity, 0x00010000);
    if (!group.filled)
        shape.opt.add(kFillBooleans, kNotFilled);
    shape.opt.add(kLineColor, ColorRef(path.stroke));
    shape.opt.add(kLineType, 0);
    shape.opt.add(kLineWidth, TwipsToEmu(path.lineWidth));
    if (!path.dashes.empty()) {
        std::vector<std::uint32_t> dashes;
        for (std::int32_t d : path.dashes)
            dashes.push_back(static_cast<std::uint32_t>(d));
        std::vector<std::uint8_t> dashData(MsoArraySize(dashes.size(), 4));
        writeMsoArray32(dashData.data(), dashData.size(), dashes, 4);
        shape.opt.addComplex(kLineDashStyle, dashData);
    }
    if (!group.stroked)
        shape.opt.add(kLineBooleans, kNoLine);
    shape.opt.add(kGroupBooleans, kBehindText);
    ClientRecords(shape);
}

void FillRotatedTextShape(OfficeArtSpContainer& shape, std::uint32_t spid, const RotatedRun& rr)
{
    BeginShape(shape, spid, kShapeGeometricText);
    const TextRun& run = rr.run;
    const std::uint32_t color = ColorRef(run.color);
    shape.opt.add(kRotation, FixedPoint16(rr.rotation));
    shape.opt.addComplex(kGtextUnicode, Utf16z(run.wideText));
    shape.opt.add(kGtextSize, FixedPoint16(run.fontSize));
    shape.opt.addComplex(kGtextFont, Utf16z(utf8::ToUtf16(run.fontName)));
    // Every use bit; best fit, shrink to fit, stretch, kerning and
    // geometric text on.
    shape.opt.add(kGtextBooleans, 0xFFFF5700);
    shape.opt.add(kFillColor, color);
    shape.opt.add(kFillBooleans, kFilled);
    shape.opt.add(kLineColor, color);
    shape.opt.add(kLineBooleans, kLine);
    shape.opt.add(kPerspectiveType, 1);
    shape.opt.add(kPerspectiveOffsetX, FixedPoint16(rr.transform[4]));
    shape.opt.add(kPerspectiveOffsetY, FixedPoint16(rr.transform[5]));
    shape.opt.add(kPerspectiveScaleXToX, FixedPoint16(rr.transform[0]));
    shape.opt.add(kPerspectiveScaleYToX, FixedPoint16(rr.transform[2]));
    shape.opt.add(kPerspectiveScaleXToY, FixedPoint16(rr.transform[1]));
    shape.opt.add(kPerspectiveScaleYToY, FixedPoint16(rr.transform[3]));
    shape.opt.add(kPerspectiveOriginX, static_cast<std::uint32_t>(-0x8000));
    shape.opt.add(kPerspectiveOriginY, 0x00004000);
    shape.opt.add(kPerspectiveBooleans, 0x00010001);
    shape.opt.add(kGroupBooleans, kBehindText);
    ClientRecords(shape);
}

PictureEntry MakePictureEntry(const BoxPicture& picture)
{
    PictureEntry p;
    Store16(p.picf.data() + 4, static_cast<std::uint16_t>(kPicfSize));   // cbHeader
    Store16(p.picf.data() + 6, 100);                                      // mm: a shape follows
    Store16(p.picf.data() + 28, static_cast<std::uint16_t>(std::clamp(picture.width, 0, 0x7FFF)));    // dxaGoal
    Store16(p.picf.data() + 30, static_cast<std::uint16_t>(std::clamp(picture.height, 0, 0x7FFF)));   // dyaGoal
    Store16(p.picf.data() + 32, 1000);   // mx: 100 percent
    Store16(p.picf.data() + 34, 1000);   // my

    OfficeArtSpContainer& shape = p.shape;
    BeginShape(shape, 0, kShapePictureFrame);
    shape.opt.add(kTextBooleans, 0x00040004);
    shape.opt.add(kPib, 1);   // the entry's own blip, the first after the shape
    shape.opt.add(kBlipBooleans, 0x00060000);
    shape.opt.add(kFillBooleans, kNotFilled);
    shape.opt.add(kLineBooleans, kNoLine);
    shape.opt.add(kGroupBooleans, kBehindText);

    BStoreEntry e;
    e.recType = kRtFBSE;
    e.fbse.setType();
    e.fbse.markPresent();
    e.fbse.fixed[0] = 5;      // btWin32: JPEG
    e.fbse.fixed[1] = 5;      // btMacOS: JPEG
    e.fbse.fixed[18] = 0xFF;  // tag
    Store32(e.fbse.fixed.data() + 24, 1);   // cRef
    auto blip = std::make_unique<OfficeArtBlipJPEG>();
    blip->setType();
    blip->markPresent();
    blip->setInstance(0x46A);
    blip->picturePath = utf8::FromWide(picture.path);
    e.fbse.blip.markPresent();
    e.fbse.blip.jpeg = std::move(blip);
    p.blips.push_back(std::move(e));
    return p;
}

ObjectEntry MakeHyperlinkEntry(const HyperlinkTarget& target)
{
    static const ClassId kStdHyperlink =
        Guid(0x79EAC9D0, 0xBAF9, 0x11CE, {0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B});
    static const ClassId kSerialGuid =
        Guid(0xF4815879, 0x1D3B, 0x487F, {0xAF, 0x2C, 0x82, 0x5D, 0xC4, 0x85, 0x27, 0x63});
    ObjectEntry e;
    e.fieldKind = kFieldHyperlink;
    e.data.hfdClassId = kStdHyperlink;
    HyperlinkObject& o = e.data.object;
    o.streamVersion = 2;
    if (target.bookmark) {
        o.flags = kHlHasLocation;
        o.location = target.target;
    } else {
        o.flags = kHlHasMoniker | 0x02;   // absolute
        o.moniker.clsid = kUrlMonikerId;
        auto url = std::make_unique<URLMoniker>();
        url->url = target.target;
        std::copy(kSerialGuid.begin(), kSerialGuid.end(), url->trailing.begin());
        Store32(url->trailing.data() + 16, 0);        // serialVersion
        Store32(url->trailing.data() + 20, 0xABA5);   // uriFlags
        url->trailingFields = 3;
        o.moniker.moniker = std::move(url);
    }
    return e;
}

void FillModel(BuiltDocument& doc, DocData& model)
{
    model.unicode = true;
    model.text = std::move(doc.text);
    model.officeArt.ccpText = doc.ccpText;
    model.officeArt.ccpTxbx = doc.ccpTxbx;
    model.mainTextLength = doc.ccpText;
    model.currentCp = static_cast<std::uint32_t>(model.text.size());
    model.pageCount = doc.pageCount;

    model.fonts.clear();
    for (const std::string& name : doc.fonts)
        model.fonts.push_back(FontEntry(name));

    model.chpxFkps = std::move(doc.chpxPages);
    model.papxFkps = std::move(doc.papxPages);
    model.plcBteChpx = std::move(doc.chpxBins);
    model.plcBtePapx = std::move(doc.papxBins);
    model.plcfSed = std::move(doc.sections);
    model.sepxs = std::move(doc.sectionProps);

    if (doc.fieldsMain.items.size() > 0)
        model.plcfFldMom = std::move(doc.fieldsMain);
    if (doc.fieldsTxbx.items.size() > 0)
        model.plcfFldTxbx = std::move(doc.fieldsTxbx);
    model.hyperlinkCount = static_cast<std::uint32_t>(doc.hyperlinks.size());
    for (const HyperlinkTarget& t : doc.hyperlinks)
        model.objects.push_back(MakeHyperlinkEntry(t));
    if (!model.objects.empty())
        model.drawingContent = true;

    if (!doc.bookmarkNames.empty()) {
        model.plcfBkf = std::move(doc.bookmarkStarts);
        model.plcfBklCps = std::move(doc.bookmarkEnds);
        model.sttbfBkmk = Sttb{};
        model.sttbfBkmk.fExtend = 0xFFFF;
        for (const std::u16string& name : doc.bookmarkNames) {
            SttbEntry e;
            e.text = name;
            model.sttbfBkmk.entries.push_back(std::move(e));
        }
        model.sttbfBkmk.cData = static_cast<std::uint32_t>(model.sttbfBkmk.entries.size());
    }

    if (doc.drawings) {
        model.drawing = true;
        for (ShapeRequest& r : doc.shapes) {
            std::uint32_t id = 0;
            switch (r.kind) {
            case ShapeRequest::TextBox:
            case ShapeRequest::PictureBox: {
                const bool behind = r.kind == ShapeRequest::PictureBox;
                const std::size_t story = r.story;
                model.addTextBoxShape(id, [&](OfficeArtSpContainer& s, std::uint32_t spid) {
                    FillTextBoxShape(s, spid, story, behind);
                });
                if (story < doc.textBoxes.items.size())
                    doc.textBoxes.items[story].lid = static_cast<std::int32_t>(id);
                break;
            }
            case ShapeRequest::Path:
                model.addPathShape(id, [&](OfficeArtSpContainer& s, std::uint32_t spid) { FillPathShape(s, spid, r); });
                break;
            case ShapeRequest::RotatedText:
                model.addShape(id, [&](OfficeArtSpContainer& s, std::uint32_t spid) {
                    FillRotatedTextShape(s, spid, *r.rotated);
                });
                break;
            }
            if (r.anchor < doc.anchors.items.size())
                doc.anchors.items[r.anchor].spid = static_cast<std::int32_t>(id);
        }
        model.plcSpaMom = std::move(doc.anchors);
    }
    if (doc.hasTextBoxes) {
        model.textBox = true;
        model.plcftxbxTxt = std::move(doc.textBoxes);
        model.plcfTxbxBkd = std::move(doc.textBoxBreaks);
    }
    for (const BoxPicture& pic : doc.pictures)
        model.pictures.push_back(MakePictureEntry(pic));
    if (!model.pictures.empty())
        model.picture = true;
}

} // namespace scrivlet
