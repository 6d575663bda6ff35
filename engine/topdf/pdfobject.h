// The PDF 1.3 file writer: numbered objects whose dictionaries are kept as
// text and whose streams as bytes, laid out in number order after the
// header, with the cross-reference table and trailer after them. Every line
// ends in CR LF.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One numbered object. Its text in the file is "N 0 obj\r\n<<", the
// dictionary text, ">>" `closing` times, then either the stream
// ("/Length L>>stream\r\n" ... "\r\nendstream") or nothing, and
// "\r\nendobj\r\n". An object with a stream leaves its dictionary open: the
// stream header closes it.
struct OPdfObject {
    int number = 0;
    int closing = 0;
    std::string dict;
    bool hasStream = false;
    std::string stream;
    bool deflate = false;    // compress the stream when the file is laid out
    bool deflated = false;   // the stream is compressed already
    std::uint64_t offset = 0;
};

// Compresses bytes as a zlib stream at the default level, as FlateDecode
// reads it.
std::string DeflateBytes(const void* data, std::size_t size);

// Compresses an object's stream now (when it asks for it), so that large
// samples need not wait in memory uncompressed until the file is written.
void DeflateObjectStream(OPdfObject& object);

// The objects of one file. Numbers 0 and 1 are reserved: 1 is the page tree,
// made last; the first object created is number 2.
class PdfObjectTable {
public:
    PdfObjectTable();

    // A new object with the next number.
    OPdfObject* create();
    // The object at a reserved number (1), made when the file is laid out.
    OPdfObject* createAt(int number);
    // The highest number given so far.
    int count() const { return static_cast<int>(objects_.size()) - 1; }

    // The whole file: "%PDF-1.3", every object in number order (compressing
    // the streams that ask for it), the cross-reference table and the
    // trailer naming `root` as the catalog. Objects are freed as they are
    // copied, so the table is empty afterwards. Empty when a number has no
    // object.
    std::string layOut(int root);

private:
    std::vector<std::unique_ptr<OPdfObject>> objects_;
};
