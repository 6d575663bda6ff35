#include "wordlib/fkp.h"

#include <bitset>
#include <cstring>

namespace scrivlet {

namespace {

// The last byte of a page holds its run count; nothing else may reach it.
constexpr std::size_t kCountByte = kFkpSize - 1;

// A sink over one page that refuses every byte at or past the count byte,
// and keeps the places given out so that no two property lists share a
// byte (lists written back at the offsets read from a damaged page could).
class PageSink : public ByteSink {
public:
    explicit PageSink(std::uint8_t* page) : page_(page) {}
    bool writeAt(std::uint64_t offset, const void* data, std::size_t size) override
    {
        if (offset > kCountByte || size > kCountByte - offset)
            return false;
        if (size)
            std::memcpy(page_ + offset, data, size);
        return true;
    }
    bool claim(std::size_t at, std::size_t size)
    {
        if (at > kCountByte || size > kCountByte - at)
            return false;
        for (std::size_t i = at; i < at + size; ++i) {
            if (used_[i])
                return false;
            used_[i] = true;
        }
        return true;
    }

private:
    std::uint8_t* page_;
    std::bitset<kFkpSize> used_;
};

// Each run's index into the distinct lists: the model's shared indexes, or
// the run itself.
bool RunIndexes(std::size_t runs, std::size_t lists, const std::vector<std::uint32_t>& shared,
                std::vector<std::uint32_t>& out)
{
    out.clear();
    if (shared.empty()) {
        if (lists != runs)
            return false;
        for (std::size_t r = 0; r < runs; ++r)
            out.push_back(static_cast<std::uint32_t>(r));
        return true;
    }
    if (shared.size() != runs)
        return false;
    for (std::uint32_t i : shared) {
        if (i >= lists)
            return false;
    }
    out = shared;
    return true;
}

// Where each distinct list stood on the page it was read from: at the
// offset of the first run that uses it.
std::vector<std::uint8_t> FirstOffsets(const std::vector<std::uint32_t>& index,
                                       const std::vector<std::uint8_t>& runOffsets, std::size_t lists)
{
    std::vector<std::uint8_t> out(lists, 0);
    std::vector<bool> placed(lists, false);
    for (std::size_t r = 0; r < index.size(); ++r) {
        if (!placed[index[r]]) {
            placed[index[r]] = true;
            out[index[r]] = runOffsets[r];
        }
    }
    return out;
}

bool WriteFcs(const std::vector<std::uint32_t>& fcs, StreamOut& out)
{
    for (std::uint32_t fc : fcs) {
        if (!out.u32(fc))
            return false;
    }
    return true;
}

} // namespace

bool readChpxFkp(const std::uint8_t* page, ChpxFkp& out)
{
    out = ChpxFkp{};
    const std::size_t crun = page[kCountByte];
    if (crun < 1 || crun > kMaxChpxRuns)
        return false;
    ByteReader in(page, kCountByte);
    for (std::size_t i = 0; i <= crun; ++i) {
        std::uint32_t fc = 0;
        if (!in.u32(fc))
            return false;
        out.fcs.push_back(fc);
    }
    if (!in.append(out.offsets, crun))
        return false;
    // Runs that share an offset share its list.
    std::vector<int> listOfOffset(256, -1);
    for (std::uint8_t o : out.offsets) {
        if (listOfOffset[o] < 0) {
            listOfOffset[o] = static_cast<int>(out.lists.size());
            PropertyList list;
            if (o != 0) {
                ByteReader at(page + 2 * std::size_t{o}, kCountByte - 2 * std::size_t{o});
                if (!readChpx(at, list))
                    return false;
            }
            out.lists.push_back(std::move(list));
        }
        out.runList.push_back(static_cast<std::uint32_t>(listOfOffset[o]));
    }
    return true;
}

bool readPapxFkp(const std::uint8_t* page, PapxFkp& out)
{
    out = PapxFkp{};
    out.storedOffsets = true;
    const std::size_t cpara = page[kCountByte];
    if (cpara < 1 || cpara > kMaxPapxRuns)
        return false;
    ByteReader in(page, kCountByte);
    for (std::size_t i = 0; i <= cpara; ++i) {
        std::uint32_t fc = 0;
        if (!in.u32(fc))
            return false;
        out.fcs.push_back(fc);
    }
    std::vector<int> entryOfOffset(256, -1);
    for (std::size_t i = 0; i < cpara; ++i) {
        BxPap bx;
        if (!in.u8(bx.offset) || !in.bytes(bx.phe.data(), bx.phe.size()))
            return false;
        out.bx.push_back(bx);
        if (entryOfOffset[bx.offset] < 0) {
            entryOfOffset[bx.offset] = static_cast<int>(out.entries.size());
            PapxEntry entry;
            // Offset 0: a paragraph without properties of its own.
            if (bx.offset != 0) {
                const std::size_t at = 2 * std::size_t{bx.offset};
                ByteReader rest(page + at, kFkpSize - at);
                if (!readPapxInFkp(rest, entry))
                    return false;
            }
            out.entries.push_back(std::move(entry));
        }
        out.runEntry.push_back(static_cast<std::uint32_t>(entryOfOffset[bx.offset]));
    }
    return true;
}

bool writeChpxFkp(const ChpxFkp& fkp, std::uint8_t* page)
{
    std::memset(page, 0, kFkpSize);
    const std::size_t runs = fkp.runs();
    std::vector<std::uint32_t> index;
    if (runs < 1 || runs > kMaxChpxRuns || !RunIndexes(runs, fkp.lists.size(), fkp.runList, index))
        return false;
    const bool stored = !fkp.offsets.empty();
    if (stored && (fkp.offsets.size() != runs || fkp.runList.empty()))
        return false;

    PageSink sink(page);
    StreamOut out(sink, 0);
    if (!WriteFcs(fkp.fcs, out))
        return false;
    const std::size_t rgb = out.offset();
    const std::size_t listsStart = rgb + runs;
    sink.claim(0, listsStart);

    std::vector<std::uint8_t> listOffset =
        stored ? FirstOffsets(index, fkp.offsets, fkp.lists.size()) : std::vector<std::uint8_t>(fkp.lists.size(), 0);
    std::size_t pos = listsStart;
    for (std::size_t k = 0; k < fkp.lists.size(); ++k) {
        std::size_t size = 0;
        if (!PropertyListSize(fkp.lists[k], size) || size > 255)
            return false;
        if (size == 0 && (!stored || listOffset[k] == 0)) {
            listOffset[k] = 0;
            continue;
        }
        std::size_t at = 0;
        if (stored) {
            at = 2 * std::size_t{listOffset[k]};
        } else {
            pos += pos % 2;
            if (pos / 2 > 255)
                return false;
            at = pos;
            listOffset[k] = static_cast<std::uint8_t>(pos / 2);
        }
        out.seek(at);
        if (!sink.claim(at, 1 + size) || !out.u8(static_cast<std::uint8_t>(size)) ||
            !writePropertyList(fkp.lists[k], out))
            return false;
        pos = out.offset();
    }
    for (std::size_t r = 0; r < runs; ++r)
        page[rgb + r] = stored ? fkp.offsets[r] : listOffset[index[r]];
    page[kCountByte] = static_cast<std::uint8_t>(runs);
    return true;
}

bool writePapxFkp(const PapxFkp& fkp, std::uint8_t* page)
{
    std::memset(page, 0, kFkpSize);
    const std::size_t runs = fkp.runs();
    std::vector<std::uint32_t> index;
    if (runs < 1 || runs > kMaxPapxRuns || fkp.bx.size() != runs ||
        !RunIndexes(runs, fkp.entries.size(), fkp.runEntry, index))
        return false;

    PageSink sink(page);
    StreamOut out(sink, 0);
    if (!WriteFcs(fkp.fcs, out))
        return false;
    const std::size_t bxStart = out.offset();
    const std::size_t entriesStart = bxStart + 13 * runs;
    sink.claim(0, entriesStart);

    std::vector<std::uint8_t> runOffsets;
    for (const BxPap& bx : fkp.bx)
        runOffsets.push_back(bx.offset);
    std::vector<std::uint8_t> entryOffset = fkp.storedOffsets
                                                ? FirstOffsets(index, runOffsets, fkp.entries.size())
                                                : std::vector<std::uint8_t>(fkp.entries.size(), 0);
    std::size_t pos = entriesStart;
    for (std::size_t k = 0; k < fkp.entries.size(); ++k) {
        if (fkp.storedOffsets && entryOffset[k] == 0)
            continue;
        std::vector<std::uint8_t> bytes;
        if (!serializePapxInFkp(fkp.entries[k], bytes))
            return false;
        std::size_t at = 0;
        if (fkp.storedOffsets) {
            at = 2 * std::size_t{entryOffset[k]};
        } else {
            pos += pos % 2;
            if (pos / 2 > 255)
                return false;
            at = pos;
            entryOffset[k] = static_cast<std::uint8_t>(pos / 2);
        }
        out.seek(at);
        if (!sink.claim(at, bytes.size()) || !out.put(bytes))
            return false;
        pos = out.offset();
    }
    out.seek(bxStart);
    for (std::size_t r = 0; r < runs; ++r) {
        const std::uint8_t offset = fkp.storedOffsets ? fkp.bx[r].offset : entryOffset[index[r]];
        if (!out.u8(offset) || !out.put(fkp.bx[r].phe.data(), fkp.bx[r].phe.size()))
            return false;
    }
    page[kCountByte] = static_cast<std::uint8_t>(runs);
    return true;
}

} // namespace scrivlet
