// DocData, the in-memory model of one Word 97-2003 document: every table
// the library reads or writes (piece table, document properties, style
// sheet, string tables, PLCs, formatted disk pages, sections), the text,
// the fonts, the drawing data with its pictures, and the field objects of
// the "Data" stream. The document builder fills it from the engine's pages
// and WordBinaryFileWriter (wordwriter.h) writes it.
//
// While a document is built, the FCs of the bin tables and of the pages
// hold character positions relative to the text; the writer turns them
// into stream offsets. Picture runs carry sprmCPicLocation with an index
// into `pictures` (or, with sprmCFData, into `objects`), which the writer
// replaces by the entry's offset in the "Data" stream.
#pragma once

#include "wordlib/dataentry.h"
#include "wordlib/fkp.h"
#include "wordlib/officeartcontainers.h"
#include "wordlib/plc.h"
#include "wordlib/stsh.h"
#include "wordlib/sttb.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace scrivlet {

inline constexpr std::size_t kDopImageSize = 674;   // the largest DOP read
inline constexpr std::size_t kDop97Size = 500;      // the DOP written
inline constexpr std::size_t kPicfSize = 68;

// Character properties the model's picture and field runs carry.
inline constexpr std::uint16_t kSprmCPicLocation = 0x6A03;
inline constexpr std::uint16_t kSprmCFData = 0x0806;
inline constexpr std::uint16_t kSprmCFSpec = 0x0855;

// A picture of the "Data" stream: its PICF header, the picture name (kept
// when the PICF's mfpf.mm is 0x66), the picture shape and its blips.
struct PictureEntry {
    PictureEntry() = default;
    PictureEntry(const PictureEntry&) = delete;
    PictureEntry& operator=(const PictureEntry&) = delete;
    PictureEntry(PictureEntry&&) noexcept = default;
    PictureEntry& operator=(PictureEntry&&) noexcept = default;

    std::array<std::uint8_t, kPicfSize> picf{};
    std::uint8_t flag = 0;
    std::vector<std::uint8_t> name;
    OfficeArtSpContainer shape;
    std::vector<BStoreEntry> blips;
    // Buffers that read records view.
    std::vector<std::unique_ptr<std::vector<std::uint8_t>>> buffers;

    std::uint16_t mm() const { return Load16(picf.data() + 6); }
};

// Reads a picture entry at `offset` of the "Data" stream (`data`): the
// PICF, the name when mm is 0x66, the shape container and every blip
// record behind it within the entry's lcb.
bool readPictureEntry(const std::vector<std::uint8_t>& data, std::uint64_t offset, PictureEntry& out);
// Writes the entry at the running offset and patches its lcb.
bool writePICFAndOfficeArtData(PictureEntry& entry, StreamOut& out);

// A field whose object lives in the "Data" stream (a hyperlink's target),
// with the kind of the field.
struct ObjectEntry {
    std::uint8_t fieldKind = kFieldHyperlink;
    HyperlinkDataEntry data;
};

// The default document properties every written document starts from.
const std::array<std::uint8_t, kDopImageSize>& DefaultDop();

class DocData {
public:
    DocData();
    ~DocData();
    DocData(const DocData&) = delete;
    DocData& operator=(const DocData&) = delete;

    // The piece table.
    Clx clx;
    // The document properties; the first 500 bytes are written.
    std::array<std::uint8_t, kDopImageSize> dop{};
    StyleSheet stsh;
    Sttb sttbfAssoc;
    Sttb sttbfFfn;   // 8-bit form; built from `fonts` when empty at writing
    Sttb sttbfBkmk;

    Plc<Elem4> plcBteChpx;   // FCs, then first page numbers (set by the writer)
    Plc<Elem4> plcBtePapx;
    Plc<Sed> plcfSed;
    Plc<Fspa> plcSpaMom;
    Plc<Ftxbxs> plcftxbxTxt;
    Plc<Tbkd> plcfTxbxBkd;
    Plc<Fld> plcfFldMom;
    Plc<Fld> plcfFldTxbx;
    Plc<Elem4> plcfBkf;
    std::vector<std::uint32_t> plcfBklCps;

    std::vector<PapxFkp> papxFkps;
    std::vector<ChpxFkp> chpxFkps;
    std::vector<PropertyList> sepxs;   // one per section descriptor

    std::vector<std::string> strings;

    // The main document followed by the other stories (text boxes).
    std::u16string text;
    // Used instead of `text` when `unicode` is false: one byte per character.
    std::string text8;
    std::vector<Ffn> fonts;

    bool unicode = false;
    bool drawing = false;          // the document has drawing data
    bool picture = false;          // the "Data" stream holds pictures
    bool textBox = false;          // the text-box PLCs are present
    bool drawingContent = false;   // the "Data" stream holds field objects

    OfficeArtContent officeArt;
    std::vector<PictureEntry> pictures;
    std::vector<ObjectEntry> objects;

    // The document builder's running values.
    std::uint32_t currentCp = 0;
    std::uint32_t pageCount = 0;
    std::uint32_t hyperlinkCount = 0;
    std::uint32_t mainTextLength = 0;
    std::map<int, std::u16string> bookmarks;   // target page -> bookmark name

    // Empties everything; flags, counters and shape ids become 0.
    void clear();
    // `clear`, then the default DOP, the default style sheet and
    // associated strings from the files "default_stsh" and
    // "default_sttbfassoc" in `folder` (the data folder when empty), and
    // one empty drawing. False when either file cannot be loaded.
    bool loadDocDefaults(const std::string& folder = std::string());

    // One drawing group and one drawing (id 1) holding its group shape
    // (id 1031); the next shape id is 1032.
    void initDrawingGroup();
    // Adds a shape to the first drawing: `fill` fills the new shape
    // container for the id given; the id goes to `id`. Returns true.
    using ShapeFill = std::function<void(OfficeArtSpContainer& shape, std::uint32_t spid)>;
    bool addShape(std::uint32_t& id, const ShapeFill& fill);
    bool addTextBoxShape(std::uint32_t& id, const ShapeFill& fill) { return addShape(id, fill); }
    bool addPathShape(std::uint32_t& id, const ShapeFill& fill) { return addShape(id, fill); }
    bool addPictureShape(std::uint32_t& id, const ShapeFill& fill) { return addShape(id, fill); }
};

// The folder of the default data files: the folder the Word library is
// loaded from, followed by "/Data/", created when missing.
std::string DataFolder();

// The default style sheet and associated strings as the files beside the
// library hold them.
std::vector<std::uint8_t> BuildDefaultStyleSheet();
std::vector<std::uint8_t> BuildDefaultAssociations();
// Reads and parses the two files of `folder` ("/" ended); false when a
// file is missing or does not parse.
bool loadDefaultStyleSheet(const std::string& folder, StyleSheet& out);
bool loadDefaultAssociations(const std::string& folder, Sttb& out);

} // namespace scrivlet
