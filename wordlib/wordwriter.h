// WordBinaryFileWriter writes a filled DocData as a Word 97-2003 file: the
// streams "WordDocument" (FIB, text, formatted disk pages, section
// properties), "1Table" (style sheet, string tables, font table, piece
// table, document properties, PLCs, drawing data) and, when the document
// holds pictures or hyperlinks, "Data".
//
// Use: `prepare` (defaults loaded), fill the model, then `save(path)`; the
// model is reset after a save by whoever reuses the writer.
#pragma once

#include "wordlib/cfbwriter.h"
#include "wordlib/docdata.h"
#include "wordlib/fileobject.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace scrivlet {

// FibRgFcLcb97 pairs.
enum FibPair : std::size_t {
    kFibStshfOrig = 0,
    kFibStshf = 1,
    kFibPlcffndRef = 2,
    kFibPlcfSed = 6,
    kFibPlcfBteChpx = 12,
    kFibPlcfBtePapx = 13,
    kFibSttbfFfn = 15,
    kFibPlcfFldMom = 16,
    kFibSttbfBkmk = 21,
    kFibPlcfBkf = 22,
    kFibPlcfBkl = 23,
    kFibDop = 31,
    kFibSttbfAssoc = 32,
    kFibClx = 33,
    kFibPlcSpaMom = 40,
    kFibDggInfo = 50,
    kFibPlcftxbxTxt = 56,
    kFibPlcfFldTxbx = 57,
    kFibPlcfTxbxBkd = 75,
};

class WordBinaryFileWriter : public CFBWriter, public DocData {
public:
    WordBinaryFileWriter();
    ~WordBinaryFileWriter() override;

    // Empties the streams, the FIB and the model.
    void reset();
    // The FIB defaults of a Word 97 document.
    void initializeFib();
    // reset, FIB defaults and the model's defaults (default files from
    // `folder`, the data folder when empty); false when a default file
    // cannot be loaded.
    bool prepare(const std::string& folder = std::string());

    // The whole document write, run by `save` with the file open.
    bool commit() override;

    // The FIB image: FibBase to FibRgCswNew.
    std::vector<std::uint8_t>& fib() { return fib_; }
    std::size_t fibSize() const;
    void setPair(std::size_t pair, std::uint32_t fc, std::uint32_t lcb);
    void pair(std::size_t pair, std::uint32_t& fc, std::uint32_t& lcb) const;

    // "Data" stream offsets of the pictures and hyperlink objects written.
    const std::vector<std::uint32_t>& pictureOffsets() const { return pictureOffsets_; }
    const std::vector<std::uint32_t>& objectOffsets() const { return objectOffsets_; }

private:
    bool writeDataStream();
    void patchPictureLocations();
    bool writeText();
    bool writeTables();
    bool writeFkps();
    bool writeSections();
    bool writeDrawings();
    bool writeFib();
    // Writes with `write` at the table stream's end and records the pair.
    template <class F>
    bool tableItem(std::size_t pair, F write);

    FileObjectPosix ownFile_;
    std::vector<std::uint8_t> fib_;
    std::uint16_t cswNew_ = 0;
    std::array<std::uint8_t, 10> fibRgCswNew_{};
    int wordStream_ = -1;
    int tableStream_ = -1;
    int dataStream_ = -1;
    std::uint64_t wordEnd_ = 0;
    std::uint64_t tableEnd_ = 0;
    std::uint64_t dataEnd_ = 0;
    std::uint32_t textOffset_ = 0;
    std::vector<std::uint32_t> pictureOffsets_;
    std::vector<std::uint32_t> objectOffsets_;
};

} // namespace scrivlet
