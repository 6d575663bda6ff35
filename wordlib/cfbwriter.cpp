#include "wordlib/cfbwriter.h"

#include "engine/writers/docx/compoundfile.h"
#include "wordlib/cfbformat.h"

#include <cstring>
#include <new>

namespace scrivlet {

namespace {

// {00020906-0000-0000-C000-000000000046}: a Word 97-2003 document.
constexpr std::uint8_t kWordDocumentClassId[16] = {0x06, 0x09, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                   0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

constexpr std::uint64_t kMaxStreamSize = 0xFFFFFFFF;

char16_t AsciiUpper(char16_t c)
{
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool SameNameIgnoringCase(const std::u16string& a, const std::u16string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i]))
            return false;
    }
    return true;
}

} // namespace

CFBWriter::CFBWriter()
{
    initialize();
}

bool CFBWriter::initialize()
{
    streams_.clear();
    streams_.push_back(Stream{u"Root Entry", {}});
    current_ = -1;
    position_ = 0;
    return true;
}

bool CFBWriter::createStream(const std::u16string& name, int parent, int& index)
{
    if (parent != 0 || name.empty() || name.size() > cfb::kMaxNameLength)
        return false;
    for (std::size_t i = 1; i < streams_.size(); ++i) {
        if (SameNameIgnoringCase(streams_[i].name, name))
            return false;
    }
    try {
        streams_.push_back(Stream{name, std::vector<std::uint8_t>(cfb::kMiniStreamCutoff, 0)});
    } catch (const std::bad_alloc&) {
        return false;
    }
    index = static_cast<int>(streams_.size() - 1);
    return true;
}

bool CFBWriter::selectStream(int index)
{
    if (index < 1 || static_cast<std::size_t>(index) >= streams_.size())
        return false;
    current_ = index;
    position_ = 0;
    return true;
}

bool CFBWriter::writeAt(int index, std::uint64_t offset, const void* bytes, std::size_t count)
{
    if (index < 1 || static_cast<std::size_t>(index) >= streams_.size())
        return false;
    if (offset > kMaxStreamSize || count > kMaxStreamSize - offset)
        return false;
    std::vector<std::uint8_t>& data = streams_[static_cast<std::size_t>(index)].data;
    const std::uint64_t end = offset + count;
    try {
        if (end > data.size())
            data.resize(static_cast<std::size_t>(end), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (count)
        std::memcpy(data.data() + offset, bytes, count);
    return true;
}

bool CFBWriter::writeStream(const void* bytes, std::size_t count)
{
    if (!writeAt(current_, position_, bytes, count))
        return false;
    position_ += count;
    return true;
}

std::uint64_t CFBWriter::streamSize(int index) const
{
    if (index < 1 || static_cast<std::size_t>(index) >= streams_.size())
        return 0;
    return streams_[static_cast<std::size_t>(index)].data.size();
}

std::string CFBWriter::serialize() const
{
    try {
        CompoundFileWriter file;
        for (std::size_t i = 1; i < streams_.size(); ++i) {
            const std::vector<std::uint8_t>& d = streams_[i].data;
            if (!file.AddStream(streams_[i].name, std::string(d.begin(), d.end())))
                return std::string();
        }
        std::string out = file.Serialize();
        // The root is the first entry of the first directory sector.
        if (out.size() < cfb::kHeaderSize)
            return std::string();
        const std::uint64_t firstDir =
            Load32(reinterpret_cast<const std::uint8_t*>(out.data()) + cfb::kHdrFirstDirSector);
        const std::uint64_t root = (firstDir + 1) * cfb::kHeaderSize + cfb::kDirClassId;
        if (root + sizeof kWordDocumentClassId > out.size())
            return std::string();
        std::memcpy(out.data() + root, kWordDocumentClassId, sizeof kWordDocumentClassId);
        return out;
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

bool CFBWriter::finish()
{
    if (!file_ || !file_->isOpen())
        return false;
    const std::string bytes = serialize();
    return !bytes.empty() && file_->seek(0, 0) == 0 && file_->write(bytes.data(), bytes.size()) &&
           file_->setSize(bytes.size());
}

bool CFBWriter::commit()
{
    return finish();
}

bool CFBWriter::save(const std::string& path)
{
    if (!file_ || !file_->open(path, kFileWriteNew))
        return false;
    const bool ok = initialize() && commit();
    file_->close();
    return ok;
}

} // namespace scrivlet
