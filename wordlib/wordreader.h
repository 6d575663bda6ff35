// Reader of Word 97-2003 documents: `load` reads the FIB and the tables of
// a document from its compound file, `emitWordContent` then walks the text
// in character position order and sends it to a content-event callback as
// text runs with their run properties, table operations and pictures.
//
// The file is untrusted. Every offset and length from the FIB and the
// tables is checked against the stream it points into; a table that cannot
// be read loses only what it holds (the text is walked with whatever
// properties were read), and a document without readable text sends no
// events. Work and memory stay bounded by the size of the file.
#pragma once

#include "engine/topdf/contentevents.h"
#include "wordlib/cfbparser.h"
#include "wordlib/dataentry.h"
#include "wordlib/fkp.h"
#include "wordlib/plc.h"
#include "wordlib/storedpictures.h"
#include "wordlib/stsh.h"
#include "wordlib/sttb.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace scrivlet {

// A field object of the "Data" stream that a special character of the text
// points to (a hyperlink's target), with the kind of the field it lies in.
struct WordObjectEntry {
    std::uint8_t fieldKind = 255;
    std::uint32_t offset = 0;
    HyperlinkDataEntry data;
};

class WordBinaryFileParser : public CFBParser {
public:
    WordBinaryFileParser() = default;

    void clear() override;
    // Reads the compound file's tables, the FIB and every table the walk
    // needs. True when all of it was read; false at a missing or damaged
    // "WordDocument" stream, a wrong magic number, an encrypted or pre-97
    // document, or when any table failed (what was read is kept).
    bool load() override;

    // Where emitWordContent sends its events; `user` is passed back.
    void setCallback(ContentEventCallback callback, void* user)
    {
        callback_ = callback;
        user_ = user;
    }
    // Sends the document's content to the callback, synchronously.
    void emitWordContent();

    // The document text (every story), one UTF-16 unit per character
    // position.
    const std::u16string& text() const { return text_; }
    const std::vector<WordObjectEntry>& objects() const { return objects_; }
    // The "Data" stream offsets of the pictures of the text, in text order.
    const std::vector<std::uint32_t>& pictureOffsets() const { return pictureOffsets_; }
    // The JPEG and PNG pictures of each entry of pictureOffsets(), in the
    // same order; an entry that did not read, or holds only other kinds,
    // has none.
    const std::vector<std::uint32_t>& pictureEntries() const { return pictureEntries_; }
    const std::vector<std::vector<StoredPicture>>& pictures() const { return pictures_; }

private:
    class Walk;

    bool loadFib();
    bool loadPieceTable();
    bool loadPages();
    bool loadDop();
    bool loadStyles();
    bool loadFonts();
    bool loadSections();
    bool loadFieldsAndBookmarks();
    bool loadTextBoxes();
    bool loadText();
    bool loadObjectsAndPictures();
    bool loadTableProperties();

    // The fc/lcb pair `index` of the FIB's FibRgFcLcb; false when the FIB
    // has no such pair.
    bool fcLcb(std::size_t index, std::uint32_t& fc, std::uint32_t& lcb) const;
    // A reader over `lcb` bytes at `fc` of the table stream; false when the
    // range does not lie within it.
    bool tableBytes(std::size_t index, ByteReader& out) const;
    std::uint32_t fibLong(std::size_t offset) const;

    ContentEventCallback callback_ = nullptr;
    void* user_ = nullptr;

    // The FIB as read: FibBase, FibRgLw97, FibRgFcLcb and nFibNew.
    std::array<std::uint8_t, 32> fibBase_{};
    std::array<std::uint8_t, 88> fibRgLw_{};
    std::vector<std::uint8_t> fibRgFcLcb_;
    std::uint16_t cswNew_ = 0;
    std::array<std::uint8_t, 10> fibRgCswNew_{};

    // The streams, read whole when the file is loaded: the file is closed
    // before the walk.
    std::vector<std::uint8_t> wordStream_;
    std::vector<std::uint8_t> tableStream_;
    std::vector<std::uint8_t> dataStream_;

    Clx clx_;
    Plc<Elem4> bteChpx_;
    Plc<Elem4> btePapx_;
    std::vector<ChpxFkp> chpxPages_;
    std::vector<PapxFkp> papxPages_;
    std::array<std::uint8_t, 674> dop_{};
    StyleSheet styles_;
    Sttb assoc_;
    Sttb fontTable_;
    std::vector<Ffn> fonts_;
    Plc<Sed> sed_;
    std::vector<PropertyList> sections_;
    Plc<Fld> fieldsMain_;
    Plc<Fld> fieldsTextBox_;
    Plc<Elem4> bookmarkStarts_;
    std::vector<std::uint32_t> bookmarkEnds_;
    Sttb bookmarkNames_;
    std::vector<std::uint32_t> footnoteRefs_;
    std::vector<std::uint32_t> endnoteRefs_;
    Plc<Ftxbxs> textBoxes_;
    Plc<Tbkd> textBoxBreaks_;
    std::u16string text_;
    std::vector<WordObjectEntry> objects_;
    std::vector<std::uint32_t> pictureOffsets_;
    // Per picture character, its index in pictures_: characters that point
    // to the same entry share it, so a file cannot make one entry be read
    // and held once per character.
    std::vector<std::uint32_t> pictureEntries_;
    std::vector<std::vector<StoredPicture>> pictures_;
};

} // namespace scrivlet
