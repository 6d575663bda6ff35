// Bounded little-endian reading and offset-addressed writing, the two
// primitives every structure codec of the Word library is written in.
//
// A ByteReader never reads past the bound it was given: every accessor
// checks the bytes left and reports false without moving when they do not
// suffice, so a codec fed truncated or hostile data fails instead of
// overrunning. A StreamOut writes at a running offset through a ByteSink
// (a stream of the compound file, a page buffer, a growing vector) and can
// patch values it wrote earlier, which is how length fields that precede
// their data are filled in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace scrivlet {

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const std::uint8_t* data, std::size_t size) : pos_(data), end_(data + size) {}
    explicit ByteReader(const std::vector<std::uint8_t>& data) : ByteReader(data.data(), data.size()) {}

    std::size_t left() const { return static_cast<std::size_t>(end_ - pos_); }
    const std::uint8_t* pos() const { return pos_; }
    bool atEnd() const { return pos_ == end_; }

    bool u8(std::uint8_t& v)
    {
        if (left() < 1)
            return false;
        v = *pos_++;
        return true;
    }
    bool u16(std::uint16_t& v)
    {
        if (left() < 2)
            return false;
        v = static_cast<std::uint16_t>(pos_[0] | (pos_[1] << 8));
        pos_ += 2;
        return true;
    }
    bool u32(std::uint32_t& v)
    {
        if (left() < 4)
            return false;
        v = static_cast<std::uint32_t>(pos_[0]) | (static_cast<std::uint32_t>(pos_[1]) << 8) |
            (static_cast<std::uint32_t>(pos_[2]) << 16) | (static_cast<std::uint32_t>(pos_[3]) << 24);
        pos_ += 4;
        return true;
    }
    bool peek8(std::uint8_t& v) const
    {
        if (left() < 1)
            return false;
        v = *pos_;
        return true;
    }
    bool bytes(void* out, std::size_t n)
    {
        if (left() < n)
            return false;
        if (n)
            std::memcpy(out, pos_, n);
        pos_ += n;
        return true;
    }
    bool append(std::vector<std::uint8_t>& out, std::size_t n)
    {
        if (left() < n)
            return false;
        out.insert(out.end(), pos_, pos_ + n);
        pos_ += n;
        return true;
    }
    bool skip(std::size_t n)
    {
        if (left() < n)
            return false;
        pos_ += n;
        return true;
    }
    // Splits off the next n bytes as a reader of their own and moves past
    // them.
    bool take(std::size_t n, ByteReader& part)
    {
        if (left() < n)
            return false;
        part = ByteReader(pos_, n);
        pos_ += n;
        return true;
    }

private:
    const std::uint8_t* pos_ = nullptr;
    const std::uint8_t* end_ = nullptr;
};

// Where serialized bytes go: `size` bytes at `offset` of the target.
class ByteSink {
public:
    virtual bool writeAt(std::uint64_t offset, const void* data, std::size_t size) = 0;

protected:
    ~ByteSink() = default;
};

// A sink over a vector that grows to hold every byte written; with a limit,
// writes reaching past it fail and leave the vector unchanged.
class VectorSink : public ByteSink {
public:
    explicit VectorSink(std::vector<std::uint8_t>& out, std::uint64_t limit = UINT64_MAX)
        : out_(out), limit_(limit) {}
    bool writeAt(std::uint64_t offset, const void* data, std::size_t size) override
    {
        if (offset > limit_ || size > limit_ - offset)
            return false;
        if (offset + size > out_.size())
            out_.resize(static_cast<std::size_t>(offset + size));
        if (size)
            std::memcpy(out_.data() + offset, data, size);
        return true;
    }

private:
    std::vector<std::uint8_t>& out_;
    std::uint64_t limit_;
};

// Writes at a running offset through a sink.
class StreamOut {
public:
    StreamOut(ByteSink& sink, std::uint64_t offset) : sink_(sink), offset_(offset) {}

    std::uint64_t offset() const { return offset_; }
    void seek(std::uint64_t offset) { offset_ = offset; }

    bool put(const void* data, std::size_t size)
    {
        if (!sink_.writeAt(offset_, data, size))
            return false;
        offset_ += size;
        return true;
    }
    bool put(const std::vector<std::uint8_t>& data) { return put(data.data(), data.size()); }
    bool u8(std::uint8_t v) { return put(&v, 1); }
    bool u16(std::uint16_t v)
    {
        const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
        return put(b, 2);
    }
    bool u32(std::uint32_t v)
    {
        std::uint8_t b[4];
        store32(b, v);
        return put(b, 4);
    }
    bool zeros(std::size_t n)
    {
        static const std::uint8_t zero[64] = {};
        while (n) {
            const std::size_t k = n < sizeof zero ? n : sizeof zero;
            if (!put(zero, k))
                return false;
            n -= k;
        }
        return true;
    }
    // Writes a value at an earlier place without moving the offset.
    bool patch16(std::uint64_t at, std::uint16_t v)
    {
        const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
        return sink_.writeAt(at, b, 2);
    }
    bool patch32(std::uint64_t at, std::uint32_t v)
    {
        std::uint8_t b[4];
        store32(b, v);
        return sink_.writeAt(at, b, 4);
    }
    bool patch8(std::uint64_t at, std::uint8_t v) { return sink_.writeAt(at, &v, 1); }

    static void store32(std::uint8_t* b, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            b[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }

private:
    ByteSink& sink_;
    std::uint64_t offset_;
};

inline std::uint16_t Load16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t Load32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t Load64(const std::uint8_t* p)
{
    return Load32(p) | (static_cast<std::uint64_t>(Load32(p + 4)) << 32);
}

inline void Store16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void Store32(std::uint8_t* p, std::uint32_t v) { StreamOut::store32(p, v); }

inline void Store64(std::uint8_t* p, std::uint64_t v)
{
    Store32(p, static_cast<std::uint32_t>(v));
    Store32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

} // namespace scrivlet
