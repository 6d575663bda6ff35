// A FileObject over bytes in memory, for tests and fuzzing: reads see the
// bytes given, writes change them.
#pragma once

#include "wordlib/fileobject.h"

#include <cstring>
#include <string>

namespace scrivlet {

class MemFile : public FileObject {
public:
    MemFile() = default;
    explicit MemFile(std::string bytes) : data_(std::move(bytes)), open_(true) {}

    bool open(const std::string&, unsigned) override
    {
        open_ = true;
        pos_ = 0;
        return true;
    }
    void close() override { open_ = false; }
    std::uint64_t seek(std::int64_t offset, int origin) override
    {
        const std::int64_t base = origin == 1 ? static_cast<std::int64_t>(pos_)
                                 : origin == 2 ? static_cast<std::int64_t>(data_.size())
                                               : 0;
        if (offset < -base)
            return UINT64_MAX;
        pos_ = static_cast<std::uint64_t>(base + offset);
        return pos_;
    }
    bool read(void* buffer, std::size_t count) override
    {
        if (pos_ > data_.size() || count > data_.size() - pos_)
            return false;
        if (count)
            std::memcpy(buffer, data_.data() + pos_, count);
        pos_ += count;
        return true;
    }
    bool write(const void* buffer, std::size_t count) override
    {
        if (pos_ + count > data_.size())
            data_.resize(pos_ + count);
        if (count)
            std::memcpy(data_.data() + pos_, buffer, count);
        pos_ += count;
        return true;
    }
    bool setSize(std::uint64_t size) override
    {
        data_.resize(size);
        pos_ = size;
        return true;
    }
    std::uint64_t size() override { return data_.size(); }
    bool isOpen() const override { return open_; }

    const std::string& bytes() const { return data_; }

private:
    std::string data_;
    std::uint64_t pos_ = 0;
    bool open_ = false;
};

} // namespace scrivlet
