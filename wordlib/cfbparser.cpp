#include "wordlib/cfbparser.h"

#include "wordlib/bytes.h"
#include "wordlib/cfbformat.h"

#include <algorithm>
#include <cstring>

namespace scrivlet {

using namespace cfb;

bool CFBParser::open(const std::string& path)
{
    clear();
    if (!file_ || !file_->open(path, kFileReadExisting))
        return false;
    const bool ok = load();
    file_->close();
    return ok;
}

void CFBParser::clear()
{
    std::memset(header_, 0, sizeof header_);
    sectorSize_ = 512;
    miniSectorSize_ = 64;
    fileSize_ = 0;
    fileSectors_ = 0;
    fat_.clear();
    miniFat_.clear();
    miniStream_.clear();
    dir_.clear();
}

bool CFBParser::readSector(std::uint32_t sector, std::uint8_t* out)
{
    if (sector >= fileSectors_)
        return false;
    const std::uint64_t at = (std::uint64_t{sector} + 1) * sectorSize_;
    return file_->seek(static_cast<std::int64_t>(at), 0) == at && file_->read(out, sectorSize_);
}

bool CFBParser::chain(std::uint32_t start, std::uint64_t limit, std::vector<std::uint32_t>& out) const
{
    std::vector<bool> seen(fileSectors_, false);
    std::uint32_t sector = start;
    while (sector != kEndOfChain && sector != kFreeSect && out.size() < limit) {
        if (sector >= fileSectors_ || sector >= fat_.size() || seen[sector])
            return false;
        seen[sector] = true;
        out.push_back(sector);
        sector = fat_[sector];
    }
    return true;
}

bool CFBParser::loadDifat(std::vector<std::uint32_t>& fatSectors)
{
    const std::uint32_t perSector = sectorSize_ / 4;
    std::vector<std::uint32_t> list;
    for (std::uint32_t k = 0; k < kHeaderDifatSlots; ++k)
        list.push_back(Load32(header_ + kHdrDifat + 4 * k));

    // DIFAT sectors: each lists perSector - 1 more FAT sectors and names the
    // next DIFAT sector in its last slot.
    std::vector<std::uint8_t> buf(sectorSize_);
    std::vector<bool> seen(fileSectors_, false);
    std::uint32_t sector = Load32(header_ + kHdrFirstDifat);
    const std::uint32_t count = Load32(header_ + kHdrDifatSectors);
    for (std::uint32_t n = 0; n < count && sector != kEndOfChain && sector != kFreeSect; ++n) {
        if (sector >= fileSectors_ || seen[sector] || !readSector(sector, buf.data()))
            return false;
        seen[sector] = true;
        for (std::uint32_t k = 0; k + 1 < perSector; ++k)
            list.push_back(Load32(buf.data() + 4 * k));
        sector = Load32(buf.data() + 4 * (perSector - 1));
    }

    // The FAT sectors in order, up to the first free slot; each one a
    // distinct sector of the file, so the FAT is never larger than the file.
    std::fill(seen.begin(), seen.end(), false);
    for (std::uint32_t s : list) {
        if (s == kFreeSect)
            break;
        if (s >= fileSectors_ || seen[s])
            return false;
        seen[s] = true;
        fatSectors.push_back(s);
    }
    return true;
}

bool CFBParser::loadDirectory()
{
    const bool v3 = Load16(header_ + kHdrMajorVersion) == 3;
    std::vector<std::uint32_t> sectors;
    const std::uint64_t limit = v3 ? UINT64_MAX : Load32(header_ + kHdrDirSectors);
    if (!chain(Load32(header_ + kHdrFirstDirSector), limit, sectors))
        return false;
    std::vector<std::uint8_t> buf(sectorSize_);
    for (std::uint32_t s : sectors) {
        if (!readSector(s, buf.data()))
            return false;
        for (std::uint32_t at = 0; at + kDirEntrySize <= sectorSize_; at += kDirEntrySize) {
            const std::uint8_t* b = buf.data() + at;
            CfbDirEntry e;
            e.type = b[kDirType];
            const bool used = e.type == kTypeStorage || e.type == kTypeStream || e.type == kTypeRoot;
            const std::uint16_t nameBytes = Load16(b + kDirNameLength);
            if (used && (nameBytes > 64 || nameBytes % 2 != 0))
                return false;
            if (used) {
                for (std::uint16_t k = 0; k + 1 < nameBytes / 2; ++k)
                    e.name.push_back(static_cast<char16_t>(Load16(b + 2 * k)));
            }
            e.color = b[kDirColor];
            e.left = Load32(b + kDirLeft);
            e.right = Load32(b + kDirRight);
            e.child = Load32(b + kDirChild);
            e.start = Load32(b + kDirStart);
            e.size = v3 ? Load32(b + kDirSize) : Load64(b + kDirSize);
            e.size = std::min(e.size, fileSize_);
            dir_.push_back(std::move(e));
        }
    }
    return !dir_.empty() && dir_[0].type == kTypeRoot;
}

bool CFBParser::load()
{
    clear();
    if (!file_ || !file_->isOpen())
        return false;
    fileSize_ = file_->size();
    if (fileSize_ < kHeaderSize || file_->seek(0, 0) != 0 || !file_->read(header_, kHeaderSize))
        return false;
    if (std::memcmp(header_, kSignature, sizeof kSignature) != 0)
        return false;
    const std::uint16_t shift = Load16(header_ + kHdrSectorShift);
    if ((shift != 9 && shift != 12) || Load16(header_ + kHdrMiniSectorShift) != 6)
        return false;
    sectorSize_ = 1u << shift;
    miniSectorSize_ = 64;
    if (fileSize_ < sectorSize_)
        return false;
    // The header takes the first sector; sector n lies at (n + 1) x size.
    fileSectors_ = static_cast<std::uint32_t>(
        std::min<std::uint64_t>((fileSize_ - sectorSize_) / sectorSize_, kMaxRegSect));

    std::vector<std::uint32_t> fatSectors;
    if (!loadDifat(fatSectors))
        return false;
    const std::uint32_t perSector = sectorSize_ / 4;
    std::vector<std::uint8_t> buf(sectorSize_);
    fat_.reserve(std::size_t{perSector} * fatSectors.size());
    for (std::uint32_t s : fatSectors) {
        if (!readSector(s, buf.data()))
            return false;
        for (std::uint32_t k = 0; k < perSector; ++k)
            fat_.push_back(Load32(buf.data() + 4 * k));
    }

    std::vector<std::uint32_t> miniFatSectors;
    if (!chain(Load32(header_ + kHdrFirstMiniFat), Load32(header_ + kHdrMiniFatSectors), miniFatSectors))
        return false;
    for (std::uint32_t s : miniFatSectors) {
        if (!readSector(s, buf.data()))
            return false;
        for (std::uint32_t k = 0; k < perSector; ++k)
            miniFat_.push_back(Load32(buf.data() + 4 * k));
    }

    if (!loadDirectory())
        return false;
    // The mini stream lives in the root entry's chain; when that chain is
    // broken only the streams inside it become unreadable.
    if (!chain(dir_[0].start, fileSectors_, miniStream_))
        miniStream_.clear();
    return true;
}

int CFBParser::findEntry(const std::u16string& name, std::uint64_t* size) const
{
    if (dir_.empty())
        return -1;
    std::vector<bool> seen(dir_.size(), false);
    std::vector<std::uint32_t> stack{dir_[0].child};
    while (!stack.empty()) {
        const std::uint32_t i = stack.back();
        stack.pop_back();
        if (i >= dir_.size() || seen[i])
            continue;
        seen[i] = true;
        const CfbDirEntry& e = dir_[i];
        if (e.type != kTypeEmpty && e.name == name) {
            if (size)
                *size = e.size;
            return static_cast<int>(i);
        }
        stack.push_back(e.left);
        stack.push_back(e.right);
    }
    return -1;
}

bool CFBParser::readStream(int index, void* buffer, std::uint64_t offset, std::uint64_t count,
                           std::uint64_t* got)
{
    if (got)
        *got = 0;
    if (!file_ || index < 0 || static_cast<std::size_t>(index) >= dir_.size() ||
        dir_[static_cast<std::size_t>(index)].type != kTypeStream)
        return false;
    const CfbDirEntry& e = dir_[static_cast<std::size_t>(index)];
    if (offset >= e.size)
        return true;
    const std::uint64_t end = offset + std::min(count, e.size - offset);

    const std::uint32_t firstMiniFat = Load32(header_ + kHdrFirstMiniFat);
    const bool mini = e.size < Load32(header_ + kHdrMiniCutoff) && firstMiniFat != kEndOfChain &&
                      firstMiniFat != kFreeSect;
    const std::uint32_t unit = mini ? miniSectorSize_ : sectorSize_;
    const std::uint32_t perSector = sectorSize_ / miniSectorSize_;
    const std::vector<std::uint32_t>& table = mini ? miniFat_ : fat_;

    // A sector met twice is a loop, even inside the stream's size.
    std::vector<bool> seen(table.size(), false);
    auto visit = [&](std::uint32_t sector) {
        if (sector >= table.size() || seen[sector])
            return false;
        seen[sector] = true;
        return true;
    };
    std::uint32_t sector = e.start;
    for (std::uint64_t skip = offset / unit; skip; --skip) {
        if (!visit(sector))
            return false;
        sector = table[sector];
    }

    // Pieces that follow each other in the file are read at once.
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::uint64_t runAt = 0, runLen = 0;
    auto flush = [&]() {
        if (!runLen)
            return true;
        const bool ok = file_->seek(static_cast<std::int64_t>(runAt), 0) == runAt &&
                        file_->read(out, static_cast<std::size_t>(runLen));
        out += runLen;
        runLen = 0;
        return ok;
    };
    for (std::uint64_t pos = offset; pos < end;) {
        if (!visit(sector))
            return false;
        std::uint64_t at = 0;
        if (mini) {
            const std::uint32_t host = sector / perSector;
            if (host >= miniStream_.size())
                return false;
            at = (std::uint64_t{miniStream_[host]} + 1) * sectorSize_ +
                 std::uint64_t{sector % perSector} * miniSectorSize_;
        } else {
            if (sector >= fileSectors_)
                return false;
            at = (std::uint64_t{sector} + 1) * sectorSize_;
        }
        at += pos % unit;
        const std::uint64_t n = std::min<std::uint64_t>(unit - pos % unit, end - pos);
        if (runLen && runAt + runLen != at && !flush())
            return false;
        if (!runLen)
            runAt = at;
        runLen += n;
        pos += n;
        if (pos < end)
            sector = table[sector];
    }
    if (!flush())
        return false;
    if (got)
        *got = end - offset;
    return true;
}

bool CFBParser::readStream(int index, std::vector<std::uint8_t>& out)
{
    out.clear();
    if (index < 0 || static_cast<std::size_t>(index) >= dir_.size())
        return false;
    out.resize(static_cast<std::size_t>(dir_[static_cast<std::size_t>(index)].size));
    std::uint64_t got = 0;
    if (!readStream(index, out.data(), 0, out.size(), &got) || got != out.size()) {
        out.clear();
        return false;
    }
    return true;
}

} // namespace scrivlet
