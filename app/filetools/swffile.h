// SWF reader and rewriter: reads a whole SWF file (plain "FWS" or
// zlib-compressed "CWS") into its header and a list of tags, changes it, and
// writes it back in the same form. Used to pack a converted document into
// the viewer template: the template's DefineBinaryData tag with character id
// 47 receives the document, and the stage is resized to the document.
//
// The bytes are untrusted: the header, the frame RECT and every tag length
// are checked against the data, and a file that cannot be read whole is
// refused rather than half rewritten.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The frame RECT: Nbits, then four signed Nbits-bit values in twips.
struct SWFRect {
    std::int32_t xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    std::int32_t nbits = 0;
    std::int32_t length = 1; // bytes: (5 + 4 * nbits) / 8 rounded up
};

struct SWFHeader {
    char signature[3] = {'F', 'W', 'S'};
    std::uint8_t version = 0;
    std::uint32_t fileLength = 0; // as read; recomputed on writing
    std::int32_t frameWidth = 0;  // twips (the RECT's Xmax)
    std::int32_t frameHeight = 0; // twips (the RECT's Ymax)
    std::uint8_t frameRate[2] = {0, 0}; // 8.8 fixed point, fraction first
    std::uint16_t frameCount = 0;
    SWFRect rect;

    bool Compressed() const { return signature[0] == 'C'; }

    // The stage becomes width x height pixels (20 twips each), with the RECT
    // at 0, 0 and Nbits the larger of 15 and what the values need. False,
    // with nothing changed, for sizes that a RECT cannot hold.
    bool SetFrameSize(int width, int height);
};

struct TagInstance {
    std::uint16_t code = 0;
    std::string payload;
};

class SWFFile {
public:
    // Reads the file; ok() tells whether it was a whole, well-formed SWF.
    explicit SWFFile(const std::wstring& path);
    // Reads SWF bytes held in memory.
    static SWFFile FromBytes(std::string_view bytes);

    bool ok() const { return ok_; }
    const SWFHeader& Header() const { return header_; }
    SWFHeader& Header() { return header_; }
    const std::vector<TagInstance>& Tags() const { return tags_; }

    // Puts `data` into the first DefineBinaryData tag (code 87) whose
    // character id is 47, after its 6 bytes of id and reserved field. False
    // when there is no such tag or the result would be too large.
    bool ReplaceBinaryData(std::string_view data);

    // The file's bytes as written: lengths recomputed, "CWS" recompressed.
    // False when the file was not read whole or is too large.
    bool Serialize(std::string& out) const;

    // Writes the file through a temporary file beside `path`: a failed
    // write leaves the existing file as it was.
    bool Write(const std::wstring& path) const;

private:
    SWFFile() = default;
    bool Parse(std::string_view bytes);

    bool ok_ = false;
    SWFHeader header_;
    std::vector<TagInstance> tags_;
};

// Replaces the embedded document of the SWF at `swfFile` with the bytes of
// `dataFile` and rewrites it. False, with `swfFile` left as it was, when
// either file cannot be read, the SWF has no DefineBinaryData tag with id 47,
// or it cannot be rewritten.
bool SWFEmbedBinaryData(const wchar_t* dataFile, const wchar_t* swfFile);

// Sets the stage of the SWF at `swfFile` to width x height pixels and
// rewrites it. False, with the file left as it was, when it cannot be read
// or rewritten or the size cannot be stored.
bool SWFResizeFrame(const wchar_t* swfFile, int width, int height);
