// A light PDF page counter: finds a file's page count from its cross-reference
// data, the document catalogue and the page tree root's /Count, without
// loading the file into the PDF library. It understands classic tables
// chained by /Prev, Flate cross-reference streams with PNG row predictors,
// objects inside object streams and the linearization dictionary.
//
// The bytes are untrusted: every offset, length and count read from them is
// checked against the buffer, loops in /Prev chains end, and any failure gives
// -1 (the caller then asks the parser library).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class PdfPageCounter {
public:
    // The page count of the file at `path`, or -1 when it cannot be read, is
    // empty or the count is not found.
    static int GetPageCount(const std::wstring& path);

    // The same walk over a file's bytes held in memory.
    static int CountPages(std::string_view file);

private:
    struct XrefEntry {
        std::int64_t object;
        std::int64_t offset; // byte offset, or the index inside an object stream
        std::int64_t stream; // object stream number; kPlain or kFree otherwise
    };
    static constexpr std::int64_t kPlain = -1;
    static constexpr std::int64_t kFree = -2;

    explicit PdfPageCounter(std::string_view file);
    int Count();

    int Linearized();
    bool ReadClassicTables(std::int64_t& root, std::int64_t& prev);
    bool ReadXrefStream(std::int64_t& root, std::int64_t& prev);
    int CountFromCatalogue(std::int64_t root);
    bool EnterCompressedObject(std::int64_t object, std::int64_t stream, std::int64_t index);
    // What a Flate stream's dictionary says about its data.
    struct StreamParams {
        std::int64_t length = 0;
        std::int64_t columns = 0;   // /DecodeParms /Columns, 0 when absent
        std::int64_t predictor = 0; // /DecodeParms /Predictor, 0 when absent
    };
    // Checks /Type (which must be `type`) and /Filter /FlateDecode of the
    // dictionary that starts at `dict`, and reads the parameters.
    bool ReadStreamDictionary(std::size_t dict, std::string_view type, StreamParams& params);
    // Inflates (and un-filters) the data of the stream whose dictionary the
    // cursor has just passed.
    bool ReadStreamData(const StreamParams& params, std::string& out);
    void WholeFile();

    // Scanning primitives over the window; none reads past its end.
    bool ReadNumber(std::int64_t& value);
    bool ReadNumberOrReference(std::int64_t& value);
    bool Match(std::string_view literal);
    void SkipBlanks();
    bool FindKey(std::string_view key);
    // FindKey from the start of the dictionary at `dict`.
    bool FindKeyFrom(std::size_t dict, std::string_view key);
    bool SkipDictionary();
    bool GoToObject(std::int64_t object);
    const XrefEntry* Lookup(std::int64_t object) const;

    std::string_view file_;   // from the header "%PDF-" to the end
    std::string_view window_; // the region searched
    std::size_t pos_ = 0;     // cursor inside the window
    std::vector<XrefEntry> entries_;
    std::string decoded_;     // the last object stream decoded
};

// PNG row un-filtering as used by Flate streams with /Predictor 10 to 15:
// rows of one filter-type byte and `columns` bytes, reconstructed in place.
// Exposed for the tests.
void UnfilterPngRows(std::string& data, std::size_t columns);
