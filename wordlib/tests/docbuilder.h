// Builds small Word 97-2003 documents in memory for the reader's tests:
// paragraphs of runs with the character and paragraph properties a test
// names, an optional style sheet and "Data" stream, written through the
// library's own page, piece-table and compound-file writers. A hook may
// damage the streams before they are packed.
#pragma once

#include "wordlib/cfbwriter.h"
#include "wordlib/cp1252.h"
#include "wordlib/fkp.h"
#include "wordlib/plc.h"
#include "wordlib/stsh.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace scrivlet::testdoc {

using Bytes = std::vector<std::uint8_t>;

inline Sprm S(std::uint16_t code, Bytes operand) { return Sprm{code, std::move(operand)}; }

struct TextRun {
    std::u16string text;
    PropertyList chpx;
};

struct Para {
    std::vector<TextRun> runs;   // the last run ends with the paragraph mark
    std::uint16_t istd = 0;
    PropertyList papx;
};

// FibRgFcLcb97 pairs the builder fills.
enum : std::size_t { kStshf = 1, kBteChpx = 12, kBtePapx = 13, kClx = 33 };
constexpr std::size_t kTextAt = 1024;
constexpr std::size_t kFibPairs = 93;
constexpr std::size_t kFcLcbAt = 32 + 2 + 28 + 2 + 88 + 2;

struct Doc {
    std::vector<Para> paras;
    bool eightBit = false;
    // Non-zero: the paragraph that starts a second piece, whose text is
    // stored before the first piece's, as Word's fast saves leave it.
    std::size_t secondPiece = 0;
    std::optional<StyleSheet> styles;
    Bytes data;
    // Runs after the streams are laid out, before they are packed.
    std::function<void(Bytes& word, Bytes& table)> damage;

    static void SetPair(Bytes& word, std::size_t pair, std::uint32_t fc, std::uint32_t lcb)
    {
        Store32(word.data() + kFcLcbAt + 8 * pair, fc);
        Store32(word.data() + kFcLcbAt + 8 * pair + 4, lcb);
    }

    std::string build() const
    {
        std::u16string text;
        struct Span {
            std::uint32_t first, lim;
            const PropertyList* list;
            const Para* para;
        };
        std::vector<Span> runs;
        std::vector<Span> paragraphs;
        for (const Para& p : paras) {
            const auto start = static_cast<std::uint32_t>(text.size());
            for (const TextRun& r : p.runs) {
                const auto first = static_cast<std::uint32_t>(text.size());
                text += r.text;
                runs.push_back({first, static_cast<std::uint32_t>(text.size()), &r.chpx, &p});
            }
            paragraphs.push_back({start, static_cast<std::uint32_t>(text.size()), &p.papx, &p});
        }
        const std::size_t unit = eightBit ? 1 : 2;
        // With two pieces, the second one's text is stored first.
        const std::uint32_t n = static_cast<std::uint32_t>(text.size());
        const std::uint32_t split = secondPiece > 0 && secondPiece < paragraphs.size() ? paragraphs[secondPiece].first : 0;
        auto fcOf = [&](std::uint32_t cp) {
            const std::uint32_t stored = cp >= split ? cp - split : n - split + cp;
            return static_cast<std::uint32_t>(kTextAt + unit * stored);
        };
        auto fcLim = [&](const Span& s) { return static_cast<std::uint32_t>(fcOf(s.first) + unit * (s.lim - s.first)); };
        auto byFc = [&](const Span& a, const Span& b) { return fcOf(a.first) < fcOf(b.first); };
        std::sort(runs.begin(), runs.end(), byFc);
        std::sort(paragraphs.begin(), paragraphs.end(), byFc);
        std::u16string stored = text.substr(split) + text.substr(0, split);

        Bytes word(kTextAt, 0);
        Store16(word.data(), 0xA5EC);
        Store16(word.data() + 2, 0x00C1);
        Store16(word.data() + 10, 0x0200);   // the table stream is "1Table"
        Store16(word.data() + 32, 14);
        Store16(word.data() + 62, 22);
        Store32(word.data() + 64 + 12, static_cast<std::uint32_t>(text.size()));   // ccpText
        Store16(word.data() + kFcLcbAt - 2, kFibPairs);
        for (char16_t c : stored) {
            if (eightBit) {
                std::uint8_t b = static_cast<std::uint8_t>(c);
                for (unsigned v = 0x80; v < 0x100; ++v) {
                    if (Cp1252ToUtf16(static_cast<std::uint8_t>(v)) == c)
                        b = static_cast<std::uint8_t>(v);
                }
                word.push_back(b);
            } else {
                word.push_back(static_cast<std::uint8_t>(c));
                word.push_back(static_cast<std::uint8_t>(c >> 8));
            }
        }

        // Pages of runs and paragraphs after the text, each on its own
        // 512-byte page.
        Plc<Elem4> bteChpx;
        Plc<Elem4> btePapx;
        auto newPage = [&]() {
            word.resize((word.size() + kFkpSize - 1) / kFkpSize * kFkpSize + kFkpSize, 0);
            return word.size() - kFkpSize;
        };
        for (std::size_t i = 0; i < runs.size(); i += 20) {
            ChpxFkp fkp;
            for (std::size_t k = i; k < runs.size() && k < i + 20; ++k) {
                fkp.fcs.push_back(fcOf(runs[k].first));
                fkp.lists.push_back(*runs[k].list);
            }
            fkp.fcs.push_back(fcLim(runs[std::min(i + 20, runs.size()) - 1]));
            const std::size_t at = newPage();
            writeChpxFkp(fkp, word.data() + at);
            bteChpx.cps.push_back(fkp.fcs.front());
            bteChpx.items.push_back({static_cast<std::uint32_t>(at / kFkpSize)});
            if (i + 20 >= runs.size())
                bteChpx.cps.push_back(fkp.fcs.back());
        }
        for (std::size_t i = 0; i < paragraphs.size(); i += 10) {
            PapxFkp fkp;
            for (std::size_t k = i; k < paragraphs.size() && k < i + 10; ++k) {
                fkp.fcs.push_back(fcOf(paragraphs[k].first));
                fkp.bx.push_back(BxPap{});
                fkp.entries.push_back(PapxEntry{paragraphs[k].para->istd, *paragraphs[k].list, {}});
            }
            fkp.fcs.push_back(fcLim(paragraphs[std::min(i + 10, paragraphs.size()) - 1]));
            const std::size_t at = newPage();
            writePapxFkp(fkp, word.data() + at);
            btePapx.cps.push_back(fkp.fcs.front());
            btePapx.items.push_back({static_cast<std::uint32_t>(at / kFkpSize)});
            if (i + 10 >= paragraphs.size())
                btePapx.cps.push_back(fkp.fcs.back());
        }

        Bytes table;
        VectorSink sink(table);
        StreamOut out(sink, 0);
        if (styles) {
            writeStsh(*styles, out);
            SetPair(word, kStshf, 0, static_cast<std::uint32_t>(out.offset()));
        }
        Clx clx;
        auto piece = [&](std::uint32_t cp) {
            Pcd pcd;
            pcd.fc = eightBit ? (2 * fcOf(cp)) | 0x40000000 : fcOf(cp);
            return pcd;
        };
        clx.pieces.cps = {0};
        if (split > 0) {
            clx.pieces.cps.push_back(split);
            clx.pieces.items.push_back(piece(0));
        }
        clx.pieces.cps.push_back(n);
        clx.pieces.items.push_back(piece(split));
        auto place = [&](std::size_t pair, auto&& write) {
            const std::uint64_t at = out.offset();
            write();
            SetPair(word, pair, static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(out.offset() - at));
        };
        place(kClx, [&] { writeClx(clx, out); });
        place(kBteChpx, [&] { writePlc4(bteChpx, out); });
        place(kBtePapx, [&] { writePlc4(btePapx, out); });

        Bytes dataCopy = data;
        if (damage)
            damage(word, table);

        CFBWriter cfb;
        cfb.initialize();
        int index = 0;
        cfb.createStream(u"WordDocument", 0, index);
        cfb.writeAt(index, 0, word.data(), word.size());
        cfb.createStream(u"1Table", 0, index);
        cfb.writeAt(index, 0, table.data(), table.size());
        if (!dataCopy.empty()) {
            cfb.createStream(u"Data", 0, index);
            cfb.writeAt(index, 0, dataCopy.data(), dataCopy.size());
        }
        return cfb.serialize();
    }
};

// A style sheet of `styles` (10-byte bases, no latent styles).
inline StyleSheet Styles(std::vector<Std> styles)
{
    StyleSheet s;
    Store16(s.stshif.data(), static_cast<std::uint16_t>(styles.size()));
    Store16(s.stshif.data() + 2, 10);
    s.styles = std::move(styles);
    return s;
}

// A paragraph (stk 1) or character (stk 2) style based on `base`
// (0x0FFF: none) with the given properties.
inline Std Style(unsigned stk, unsigned base, PropertyList chpx, PropertyList papx = {})
{
    Std s;
    s.empty = false;
    Store16(s.base.data() + 2, static_cast<std::uint16_t>(stk | (base << 4)));
    Store16(s.base.data() + 4, static_cast<std::uint16_t>(stk == 1 ? 2 : 1));
    s.name = u"s";
    if (stk == 1)
        s.upxs.push_back(Upx{0, std::move(papx)});
    s.upxs.push_back(Upx{0, std::move(chpx)});
    return s;
}

} // namespace scrivlet::testdoc
