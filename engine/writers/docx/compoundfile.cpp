#include "engine/writers/docx/compoundfile.h"

#include <algorithm>
#include <functional>

namespace {

constexpr std::uint32_t kSectorSize = 512;
constexpr std::uint32_t kMiniSectorSize = 64;
constexpr std::uint32_t kMiniCutoff = 4096;
constexpr std::uint32_t kEntriesPerSector = kSectorSize / 128;
constexpr std::uint32_t kIdsPerSector = kSectorSize / 4;
constexpr std::uint32_t kHeaderDifat = 109;

constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

constexpr std::uint8_t kTypeStorage = 1;
constexpr std::uint8_t kTypeStream = 2;
constexpr std::uint8_t kTypeRoot = 5;
constexpr std::uint8_t kRed = 0;
constexpr std::uint8_t kBlack = 1;

std::uint32_t CeilDiv(std::uint64_t a, std::uint64_t b)
{
    return static_cast<std::uint32_t>((a + b - 1) / b);
}

void Put16(std::string& out, std::size_t at, std::uint16_t v)
{
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>(v >> 8);
}

void Put32(std::string& out, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void Put64(std::string& out, std::size_t at, std::uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

char16_t Upper(char16_t c)
{
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// The order of siblings in a storage: shorter names first, then by the
// upper-case code units.
bool NameLess(const std::u16string& a, const std::u16string& b)
{
    if (a.size() != b.size())
        return a.size() < b.size();
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char16_t x = Upper(a[i]);
        const char16_t y = Upper(b[i]);
        if (x != y)
            return x < y;
    }
    return false;
}

bool SameName(const std::u16string& a, const std::u16string& b)
{
    return !NameLess(a, b) && !NameLess(b, a);
}

bool ValidName(const std::u16string& name)
{
    if (name.empty() || name.size() > 31)
        return false;
    return name.find_first_of(u"/\\:!") == std::u16string::npos;
}

} // namespace

struct CompoundFileWriter::Entry {
    std::u16string name;
    std::uint8_t type = kTypeStorage;
    std::string data;
    std::vector<std::unique_ptr<Entry>> children;
};

CompoundFileWriter::CompoundFileWriter() : root(std::make_unique<Entry>())
{
    root->name = u"Root Entry";
    root->type = kTypeRoot;
}

CompoundFileWriter::~CompoundFileWriter() = default;

CompoundFileWriter::Entry* CompoundFileWriter::child(Entry* storage, const std::u16string& name,
                                                     bool makeStorage)
{
    for (auto& c : storage->children) {
        if (SameName(c->name, name))
            return c.get();
    }
    if (!makeStorage)
        return nullptr;
    auto made = std::make_unique<Entry>();
    made->name = name;
    made->type = kTypeStorage;
    storage->children.push_back(std::move(made));
    return storage->children.back().get();
}

bool CompoundFileWriter::AddStream(const std::u16string& path, std::string data)
{
    std::vector<std::u16string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find(u'/', start);
        parts.push_back(path.substr(start, slash == std::u16string::npos ? std::u16string::npos
                                                                         : slash - start));
        if (slash == std::u16string::npos)
            break;
        start = slash + 1;
    }
    for (const std::u16string& part : parts) {
        if (!ValidName(part))
            return false;
    }
    Entry* storage = root.get();
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        storage = child(storage, parts[i], true);
        if (storage->type != kTypeStorage)
            return false;
    }
    if (child(storage, parts.back(), false))
        return false;
    auto stream = std::make_unique<Entry>();
    stream->name = parts.back();
    stream->type = kTypeStream;
    stream->data = std::move(data);
    storage->children.push_back(std::move(stream));
    return true;
}

std::string CompoundFileWriter::Serialize() const
{
    // Directory: entries numbered in depth-first order, root first.
    struct Dir {
        const Entry* entry;
        std::uint32_t left = kNoStream;
        std::uint32_t right = kNoStream;
        std::uint32_t child = kNoStream;
        std::uint8_t color = kBlack;
        std::uint32_t start = 0;
        std::uint64_t size = 0;
    };
    std::vector<Dir> dirs;
    std::function<std::uint32_t(const Entry*)> number = [&](const Entry* e) {
        const auto id = static_cast<std::uint32_t>(dirs.size());
        dirs.push_back(Dir{e});
        std::vector<std::uint32_t> kids;
        for (const auto& c : e->children)
            kids.push_back(number(c.get()));
        if (kids.empty())
            return id;
        // Siblings form a balanced binary search tree; when its last level
        // is not full, that level is red, which keeps it a red-black tree.
        std::sort(kids.begin(), kids.end(), [&](std::uint32_t a, std::uint32_t b) {
            return NameLess(dirs[a].entry->name, dirs[b].entry->name);
        });
        int depth = 0;
        while ((std::size_t{1} << (depth + 1)) - 1 < kids.size())
            ++depth;
        const bool full = kids.size() == (std::size_t{1} << (depth + 1)) - 1;
        std::function<std::uint32_t(std::size_t, std::size_t, int)> build =
            [&](std::size_t lo, std::size_t hi, int level) -> std::uint32_t {
            if (lo >= hi)
                return kNoStream;
            const std::size_t mid = lo + (hi - lo) / 2;
            const std::uint32_t node = kids[mid];
            dirs[node].color = (!full && level == depth && level > 0) ? kRed : kBlack;
            dirs[node].left = build(lo, mid, level + 1);
            dirs[node].right = build(mid + 1, hi, level + 1);
            return node;
        };
        dirs[id].child = build(0, kids.size(), 0);
        return id;
    };
    number(root.get());

    // Streams below the cutoff live in the mini stream.
    std::vector<std::uint32_t> miniFat;
    std::uint32_t bigSectors = 0;
    for (Dir& d : dirs) {
        if (d.entry->type != kTypeStream)
            continue;
        d.size = d.entry->data.size();
        if (d.size == 0) {
            d.start = kEndOfChain;
        } else if (d.size < kMiniCutoff) {
            const std::uint32_t n = CeilDiv(d.size, kMiniSectorSize);
            d.start = static_cast<std::uint32_t>(miniFat.size());
            for (std::uint32_t k = 0; k < n; ++k)
                miniFat.push_back(k + 1 < n ? d.start + k + 1 : kEndOfChain);
        } else {
            bigSectors += CeilDiv(d.size, kSectorSize);
        }
    }
    const std::uint32_t miniStreamBytes = static_cast<std::uint32_t>(miniFat.size()) * kMiniSectorSize;
    const std::uint32_t dirSectors = CeilDiv(dirs.size(), kEntriesPerSector);
    const std::uint32_t miniFatSectors = CeilDiv(miniFat.size(), kIdsPerSector);
    const std::uint32_t miniStreamSectors = CeilDiv(miniStreamBytes, kSectorSize);
    const std::uint64_t content =
        std::uint64_t{dirSectors} + miniFatSectors + miniStreamSectors + bigSectors;

    // FAT sectors (each maps 128 sectors, itself included) and DIFAT sectors
    // (each lists 127 FAT sectors beyond the header's 109).
    std::uint32_t fatSectors = 1;
    std::uint32_t difatSectors = 0;
    for (;;) {
        difatSectors = fatSectors > kHeaderDifat ? CeilDiv(fatSectors - kHeaderDifat, kIdsPerSector - 1) : 0;
        const std::uint32_t needed = CeilDiv(content + fatSectors + difatSectors, kIdsPerSector);
        if (needed <= fatSectors)
            break;
        fatSectors = needed;
    }

    const std::uint32_t firstDifat = fatSectors;
    const std::uint32_t firstDir = firstDifat + difatSectors;
    const std::uint32_t firstMiniFat = firstDir + dirSectors;
    const std::uint32_t firstMiniStream = firstMiniFat + miniFatSectors;
    std::uint32_t next = firstMiniStream + miniStreamSectors;

    std::vector<std::uint32_t> fat(std::size_t{fatSectors} * kIdsPerSector, kFreeSect);
    auto chain = [&](std::uint32_t first, std::uint32_t count) {
        for (std::uint32_t k = 0; k < count; ++k)
            fat[first + k] = k + 1 < count ? first + k + 1 : kEndOfChain;
    };
    for (std::uint32_t k = 0; k < fatSectors; ++k)
        fat[k] = kFatSect;
    for (std::uint32_t k = 0; k < difatSectors; ++k)
        fat[firstDifat + k] = kDifSect;
    chain(firstDir, dirSectors);
    chain(firstMiniFat, miniFatSectors);
    chain(firstMiniStream, miniStreamSectors);
    std::vector<const Dir*> bigStreams;
    for (Dir& d : dirs) {
        if (d.entry->type == kTypeStream && d.size >= kMiniCutoff) {
            const std::uint32_t n = CeilDiv(d.size, kSectorSize);
            d.start = next;
            chain(next, n);
            next += n;
            bigStreams.push_back(&d);
        }
    }
    dirs[0].start = miniStreamSectors ? firstMiniStream : kEndOfChain;
    dirs[0].size = miniStreamBytes;

    const std::uint64_t total = std::uint64_t{kSectorSize} * (1 + std::uint64_t{next});
    std::string out(total, '\0');

    // Header.
    static const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    for (int i = 0; i < 8; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<char>(signature[i]);
    Put16(out, 24, 0x003E);
    Put16(out, 26, 3);
    Put16(out, 28, 0xFFFE);
    Put16(out, 30, 9);
    Put16(out, 32, 6);
    Put32(out, 44, fatSectors);
    Put32(out, 48, firstDir);
    Put32(out, 56, kMiniCutoff);
    Put32(out, 60, miniFatSectors ? firstMiniFat : kEndOfChain);
    Put32(out, 64, miniFatSectors);
    Put32(out, 68, difatSectors ? firstDifat : kEndOfChain);
    Put32(out, 72, difatSectors);
    for (std::uint32_t k = 0; k < kHeaderDifat; ++k)
        Put32(out, 76 + 4 * k, k < fatSectors ? k : kFreeSect);

    auto sectorAt = [](std::uint32_t sector) { return std::size_t{kSectorSize} * (1 + std::size_t{sector}); };

    // FAT.
    for (std::size_t k = 0; k < fat.size(); ++k)
        Put32(out, sectorAt(0) + 4 * k, fat[k]);

    // DIFAT sectors: 127 FAT sector numbers, then the next DIFAT sector.
    for (std::uint32_t s = 0; s < difatSectors; ++s) {
        const std::size_t at = sectorAt(firstDifat + s);
        for (std::uint32_t k = 0; k < kIdsPerSector - 1; ++k) {
            const std::uint64_t fatIndex = kHeaderDifat + std::uint64_t{s} * (kIdsPerSector - 1) + k;
            Put32(out, at + 4 * k, fatIndex < fatSectors ? static_cast<std::uint32_t>(fatIndex) : kFreeSect);
        }
        Put32(out, at + 4 * (kIdsPerSector - 1), s + 1 < difatSectors ? firstDifat + s + 1 : kEndOfChain);
    }

    // Directory; unused entries have no siblings and no child.
    for (std::uint32_t k = 0; k < dirSectors * kEntriesPerSector; ++k) {
        const std::size_t at = sectorAt(firstDir) + 128 * std::size_t{k};
        if (k >= dirs.size()) {
            Put32(out, at + 68, kNoStream);
            Put32(out, at + 72, kNoStream);
            Put32(out, at + 76, kNoStream);
            continue;
        }
        const Dir& d = dirs[k];
        const std::u16string& name = d.entry->name;
        for (std::size_t i = 0; i < name.size(); ++i)
            Put16(out, at + 2 * i, static_cast<std::uint16_t>(name[i]));
        Put16(out, at + 64, static_cast<std::uint16_t>(2 * (name.size() + 1)));
        out[at + 66] = static_cast<char>(d.entry->type);
        out[at + 67] = static_cast<char>(d.color);
        Put32(out, at + 68, d.left);
        Put32(out, at + 72, d.right);
        Put32(out, at + 76, d.child);
        Put32(out, at + 116, d.start);
        Put64(out, at + 120, d.size);
    }

    // Mini FAT and mini stream.
    for (std::uint32_t k = 0; k < miniFatSectors * kIdsPerSector; ++k)
        Put32(out, sectorAt(firstMiniFat) + 4 * std::size_t{k}, k < miniFat.size() ? miniFat[k] : kFreeSect);
    for (const Dir& d : dirs) {
        if (d.entry->type == kTypeStream && d.size > 0 && d.size < kMiniCutoff)
            std::copy(d.entry->data.begin(), d.entry->data.end(),
                      out.begin() + static_cast<std::ptrdiff_t>(sectorAt(firstMiniStream) +
                                                                std::size_t{d.start} * kMiniSectorSize));
    }

    // Large streams, each in consecutive sectors.
    for (const Dir* d : bigStreams)
        std::copy(d->entry->data.begin(), d->entry->data.end(),
                  out.begin() + static_cast<std::ptrdiff_t>(sectorAt(d->start)));
    return out;
}
