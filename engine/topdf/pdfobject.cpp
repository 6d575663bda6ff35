#include "engine/topdf/pdfobject.h"

#include <zlib.h>

#include <cstdio>

namespace {

std::string Format(const char* pattern, long long a, long long b = 0)
{
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, pattern, a, b);
    return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

} // namespace

std::string DeflateBytes(const void* data, std::size_t size)
{
    z_stream z{};
    std::string out;
    if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK)
        return out;
    out.resize(deflateBound(&z, static_cast<uLong>(size)));
    z.next_in = static_cast<Bytef*>(const_cast<void*>(data));
    z.avail_in = 0;
    std::size_t inLeft = size;
    std::size_t produced = 0;
    int rc = Z_OK;
    // Fed in pieces that fit zlib's 32-bit counters.
    constexpr std::size_t kPiece = std::size_t(1) << 30;
    while (rc != Z_STREAM_END) {
        if (z.avail_in == 0 && inLeft > 0) {
            const std::size_t take = inLeft < kPiece ? inLeft : kPiece;
            z.avail_in = static_cast<uInt>(take);
            inLeft -= take;
        }
        if (produced == out.size())
            out.resize(out.size() + (out.size() >> 1) + 4096);
        const std::size_t room = out.size() - produced;
        z.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        z.avail_out = static_cast<uInt>(room < kPiece ? room : kPiece);
        const uInt before = z.avail_out;
        rc = deflate(&z, inLeft == 0 ? Z_FINISH : Z_NO_FLUSH);
        produced += before - z.avail_out;
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
            break;
    }
    deflateEnd(&z);
    if (rc != Z_STREAM_END)
        return std::string();
    out.resize(produced);
    return out;
}

void DeflateObjectStream(OPdfObject& object)
{
    if (!object.hasStream || !object.deflate || object.deflated)
        return;
    std::string packed = DeflateBytes(object.stream.data(), object.stream.size());
    if (packed.empty() && !object.stream.empty()) {
        object.deflate = false;   // kept as it is rather than lost
        return;
    }
    object.stream = std::move(packed);
    object.deflated = true;
}

PdfObjectTable::PdfObjectTable()
{
    objects_.resize(2);
}

OPdfObject* PdfObjectTable::create()
{
    objects_.push_back(std::make_unique<OPdfObject>());
    objects_.back()->number = static_cast<int>(objects_.size()) - 1;
    return objects_.back().get();
}

OPdfObject* PdfObjectTable::createAt(int number)
{
    if (number < 1 || static_cast<std::size_t>(number) >= objects_.size())
        return nullptr;
    objects_[std::size_t(number)] = std::make_unique<OPdfObject>();
    objects_[std::size_t(number)]->number = number;
    return objects_[std::size_t(number)].get();
}

std::string PdfObjectTable::layOut(int root)
{
    static const char kHeader[] = "%PDF-1.3\r\n";
    const int n = count();
    // First pass: compress, then take every object's offset.
    std::uint64_t offset = sizeof kHeader - 1;
    for (int i = 1; i <= n; ++i) {
        OPdfObject* o = objects_[std::size_t(i)].get();
        if (!o)
            return std::string();
        DeflateObjectStream(*o);
        o->offset = offset;
        offset += Format("%lld 0 obj\r\n<<", i).size() + o->dict.size() + 2 * std::uint64_t(o->closing);
        if (o->hasStream) {
            if (o->deflated)
                offset += 19;   // "/Filter/FlateDecode"
            offset += Format("/Length %lld>>stream\r\n", static_cast<long long>(o->stream.size())).size() +
                      o->stream.size() + 11;   // "\r\nendstream"
        }
        offset += 10;   // "\r\nendobj\r\n"
    }

    std::string xref = Format("xref\r\n0 %lld\r\n", n + 1);
    xref += Format("%010lld 65535 f\r\n", 0);
    for (int i = 1; i <= n; ++i)
        xref += Format("%010lld 00000 n\r\n", static_cast<long long>(objects_[std::size_t(i)]->offset));
    xref += Format("trailer\r\n<</Root %lld 0 R /Size %lld>>\r\n", root, n + 1);
    xref += Format("startxref\r\n%lld\r\n%%%%EOF\r\n", static_cast<long long>(offset));

    // Second pass: the bytes, freeing each object once it is copied.
    std::string file;
    file.reserve(offset + xref.size());
    file += kHeader;
    for (int i = 1; i <= n; ++i) {
        std::unique_ptr<OPdfObject> o = std::move(objects_[std::size_t(i)]);
        file += Format("%lld 0 obj\r\n<<", i);
        file += o->dict;
        for (int k = 0; k < o->closing; ++k)
            file += ">>";
        if (o->hasStream) {
            if (o->deflated)
                file += "/Filter/FlateDecode";
            file += Format("/Length %lld>>stream\r\n", static_cast<long long>(o->stream.size()));
            file += o->stream;
            file += "\r\nendstream";
        }
        file += "\r\nendobj\r\n";
    }
    file += xref;
    objects_.clear();
    objects_.resize(2);
    return file;
}
