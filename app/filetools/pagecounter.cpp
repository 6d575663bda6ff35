#include "app/filetools/pagecounter.h"

#include "app/filetools/zlibutil.h"
#include "engine/layout/fileutil.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

// Decoded cross-reference and object streams larger than this are refused: a
// few kilobytes of Flate data must not make us allocate gigabytes.
constexpr std::size_t kMaxDecoded = std::size_t(64) << 20;
// Numbers beyond this are not offsets, counts or object numbers of any file
// we can hold.
constexpr std::int64_t kMaxNumber = std::int64_t(1) << 40;
// Cross-reference sections followed through /Prev before giving up.
constexpr int kMaxSections = 4096;
// Widest cross-reference stream field we accept, and widest PNG row.
constexpr std::int64_t kMaxFieldWidth = 8;
constexpr std::int64_t kMaxColumns = 1 << 16;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsNameChar(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A big-endian unsigned field of `width` bytes; widths other than 1 to 4
// read as 0.
std::int64_t BigEndian(std::string_view data, std::size_t at, std::int64_t width)
{
    if (width < 1 || width > 4)
        return 0;
    std::int64_t v = 0;
    for (std::int64_t i = 0; i < width; ++i)
        v = (v << 8) | static_cast<unsigned char>(data[at + static_cast<std::size_t>(i)]);
    return v;
}

unsigned char Paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return static_cast<unsigned char>(a);
    return static_cast<unsigned char>(pb <= pc ? b : c);
}

} // namespace

void UnfilterPngRows(std::string& data, std::size_t columns)
{
    if (columns == 0)
        return;
    std::string out;
    out.reserve(data.size());
    std::string prev(columns, '\0');
    std::string cur(columns, '\0');
    std::size_t i = 0;
    while (i < data.size()) {
        const auto type = static_cast<unsigned char>(data[i++]);
        if (type > 4)
            continue; // not a filter type: skipped by itself
        const std::size_t n = std::min(columns, data.size() - i);
        for (std::size_t j = 0; j < n; ++j) {
            const int x = static_cast<unsigned char>(data[i + j]);
            const int a = j > 0 ? static_cast<unsigned char>(cur[j - 1]) : 0;
            const int b = static_cast<unsigned char>(prev[j]);
            const int c = j > 0 ? static_cast<unsigned char>(prev[j - 1]) : 0;
            int v = x;
            switch (type) {
            case 1: v = x + a; break;
            case 2: v = x + b; break;
            case 3: v = x + (a + b) / 2; break;
            case 4: v = x + Paeth(a, b, c); break;
            default: break;
            }
            cur[j] = static_cast<char>(v & 0xFF);
        }
        out.append(cur, 0, n);
        std::swap(prev, cur);
        i += n;
    }
    data.swap(out);
}

int PdfPageCounter::GetPageCount(const std::wstring& path)
{
    std::string data;
    if (!ReadWholeFile(path, data) || data.empty())
        return -1;
    return CountPages(data);
}

int PdfPageCounter::CountPages(std::string_view file)
{
    const std::size_t header = file.find("%PDF-");
    if (header == std::string_view::npos || file.size() - header < 14)
        return -1;
    PdfPageCounter counter(file.substr(header));
    return counter.Count();
}

PdfPageCounter::PdfPageCounter(std::string_view file) : file_(file), window_(file) {}

int PdfPageCounter::Count()
{
    const int linearized = Linearized();
    if (linearized >= 0)
        return linearized;

    WholeFile();
    const std::size_t at = file_.rfind("startxref", file_.size() - 14);
    if (at == std::string_view::npos)
        return -1;
    pos_ = at + 9;
    std::int64_t offset = 0;
    if (!ReadNumber(offset))
        return -1;

    // The newest section first, then every older one through /Prev; the
    // first entry read for an object number wins.
    std::vector<std::int64_t> seen;
    std::int64_t root = -1;
    for (int section = 0;; ++section) {
        if (section == kMaxSections || offset >= static_cast<std::int64_t>(file_.size()) ||
            std::find(seen.begin(), seen.end(), offset) != seen.end())
            return -1;
        seen.push_back(offset);
        WholeFile();
        pos_ = static_cast<std::size_t>(offset);
        std::int64_t prev = -1;
        const bool ok = Match("xref") ? ReadClassicTables(root, prev) : ReadXrefStream(root, prev);
        if (!ok)
            return -1;
        if (prev < 0)
            break;
        offset = prev;
    }
    if (root < 0)
        return -1;
    return CountFromCatalogue(root);
}

int PdfPageCounter::Linearized()
{
    WholeFile();
    const std::size_t o = window_.substr(0, 32).find('o');
    if (o == std::string_view::npos)
        return -1;
    pos_ = o;
    if (!Match("obj"))
        return -1;
    const std::size_t dict = pos_;
    if (!FindKey("/Linearized"))
        return -1;
    std::int64_t length = 0, pages = 0;
    pos_ = dict;
    if (!FindKey("/L ") || !ReadNumber(length))
        return -1;
    pos_ = dict;
    if (!FindKey("/N ") || !ReadNumber(pages))
        return -1;
    if (length != static_cast<std::int64_t>(file_.size()) || pages > INT_MAX)
        return -1;
    return static_cast<int>(pages);
}

bool PdfPageCounter::ReadClassicTables(std::int64_t& root, std::int64_t& prev)
{
    // Subsections of "first count" and their entries "offset generation n|f".
    for (;;) {
        SkipBlanks();
        if (pos_ >= window_.size())
            return false;
        if (!IsDigit(window_[pos_]))
            break;
        std::int64_t first = 0, count = 0;
        if (!ReadNumber(first) || !ReadNumber(count))
            return false;
        for (std::int64_t i = 0; i < count; ++i) {
            std::int64_t offset = 0, generation = 0;
            if (!ReadNumber(offset) || !ReadNumber(generation))
                return false;
            SkipBlanks();
            if (pos_ >= window_.size() || (window_[pos_] != 'n' && window_[pos_] != 'f'))
                return false;
            entries_.push_back({first + i, offset, window_[pos_] == 'n' ? kPlain : kFree});
            while (pos_ < window_.size() && window_[pos_] != '\r' && window_[pos_] != '\n')
                ++pos_;
            while (pos_ < window_.size() && (window_[pos_] == '\r' || window_[pos_] == '\n'))
                ++pos_;
        }
    }
    if (!Match("trailer"))
        return false;
    const std::size_t trailer = pos_;
    std::int64_t value = 0;
    if (root < 0 && FindKey("/Root") && ReadNumber(value))
        root = value;
    pos_ = trailer;
    if (FindKey("/Prev")) {
        if (!ReadNumber(value))
            return false;
        prev = value;
    }
    return true;
}

bool PdfPageCounter::ReadXrefStream(std::int64_t& root, std::int64_t& prev)
{
    std::int64_t number = 0, generation = 0;
    if (!ReadNumber(number) || !ReadNumber(generation))
        return false;
    SkipBlanks();
    if (!Match("obj"))
        return false;
    const std::size_t dict = pos_;

    StreamParams params;
    if (!ReadStreamDictionary(dict, "/XRef", params))
        return false;
    std::int64_t value = 0;
    if (root < 0 && FindKeyFrom(dict, "/Root") && ReadNumber(value))
        root = value;
    if (FindKeyFrom(dict, "/Prev") && ReadNumber(value))
        prev = value;
    // /W [1 w1 w2]: a one-byte type, then the two fields of every entry.
    std::int64_t w0 = 0, w1 = 0, w2 = 0;
    if (!FindKeyFrom(dict, "/W"))
        return false;
    SkipBlanks();
    if (!Match("[") || !ReadNumber(w0) || w0 != 1 || !ReadNumber(w1) || !ReadNumber(w2) ||
        w1 > kMaxFieldWidth || w2 > kMaxFieldWidth)
        return false;
    std::vector<std::pair<std::int64_t, std::int64_t>> index;
    if (FindKeyFrom(dict, "/Index")) {
        SkipBlanks();
        if (!Match("["))
            return false;
        std::int64_t a = 0, b = 0;
        while (ReadNumber(a)) {
            if (!ReadNumber(b))
                return false;
            index.emplace_back(a, b);
        }
        if (index.empty())
            return false;
    }
    pos_ = dict;
    std::string data;
    if (!SkipDictionary() || !ReadStreamData(params, data))
        return false;

    const std::size_t row = static_cast<std::size_t>(1 + w1 + w2);
    if (params.columns > 0 && params.predictor > 9 && data.size() % row != 0)
        return false;
    if (index.empty())
        index.emplace_back(0, static_cast<std::int64_t>(data.size() / row));
    std::size_t p = 0;
    for (const auto& [first, count] : index) {
        for (std::int64_t i = 0; i < count; ++i, p += row) {
            if (data.size() - p < row)
                return true;
            const auto type = static_cast<unsigned char>(data[p]);
            const std::int64_t f1 = BigEndian(data, p + 1, w1);
            const std::int64_t f2 = BigEndian(data, p + 1 + static_cast<std::size_t>(w1), w2);
            if (type == 1)
                entries_.push_back({first + i, f1, kPlain});
            else if (type == 2)
                entries_.push_back({first + i, f2, f1});
        }
    }
    return true;
}

int PdfPageCounter::CountFromCatalogue(std::int64_t root)
{
    std::int64_t pages = 0, count = 0;
    if (!GoToObject(root) || !FindKey("/Pages") || !ReadNumber(pages))
        return -1;
    const XrefEntry* e = Lookup(pages);
    if (!e)
        return -1;
    if (e->stream == kPlain) {
        if (!GoToObject(pages))
            return -1;
    } else if (e->stream < 0 || !EnterCompressedObject(pages, e->stream, e->offset)) {
        return -1;
    }
    if (!FindKey("/Count") || !ReadNumberOrReference(count) || count > INT_MAX)
        return -1;
    return static_cast<int>(count);
}

bool PdfPageCounter::EnterCompressedObject(std::int64_t object, std::int64_t stream,
                                           std::int64_t index)
{
    if (!GoToObject(stream))
        return false;
    const std::size_t dict = pos_;
    StreamParams params;
    std::int64_t value = 0, n = 0, first = 0;
    if (!ReadStreamDictionary(dict, "/ObjStm", params) || !FindKeyFrom(dict, "/N") || !ReadNumber(n) ||
        index >= n || !FindKeyFrom(dict, "/First") || !ReadNumber(first))
        return false;
    pos_ = dict;
    if (!SkipDictionary() || !ReadStreamData(params, decoded_))
        return false;

    // The header: N pairs "object offset", offsets counted from /First.
    window_ = decoded_;
    pos_ = 0;
    std::int64_t number = 0, offset = 0, next = 0;
    for (std::int64_t i = 0; i < index; ++i) {
        if (!ReadNumber(number) || !ReadNumber(offset)) {
            WholeFile();
            return false;
        }
    }
    const auto size = static_cast<std::int64_t>(decoded_.size());
    bool ok = ReadNumber(number) && ReadNumber(offset) && number == object;
    if (ok && index == n - 1)
        next = size - first;
    else
        ok = ok && ReadNumber(value) && ReadNumber(next);
    ok = ok && first <= size && offset <= next && next <= size - first;
    if (!ok) {
        WholeFile();
        return false;
    }
    window_ = std::string_view(decoded_).substr(static_cast<std::size_t>(first + offset),
                                                static_cast<std::size_t>(next - offset));
    pos_ = 0;
    return true;
}

bool PdfPageCounter::ReadStreamDictionary(std::size_t dict, std::string_view type,
                                          StreamParams& params)
{
    std::int64_t value = 0;
    if (!FindKeyFrom(dict, "/Type"))
        return false;
    SkipBlanks();
    if (!Match(type) || !FindKeyFrom(dict, "/Filter"))
        return false;
    SkipBlanks();
    if (!Match("/FlateDecode"))
        return false;
    if (FindKeyFrom(dict, "/DecodeParms")) {
        const std::size_t parms = pos_;
        if (FindKey("/Columns") && ReadNumber(value))
            params.columns = value;
        pos_ = parms;
        if (params.columns > 0 && FindKey("/Predictor") && ReadNumber(value))
            params.predictor = value;
    }
    return FindKeyFrom(dict, "/Length") && ReadNumberOrReference(params.length);
}

bool PdfPageCounter::ReadStreamData(const StreamParams& params, std::string& out)
{
    // The cursor is past the stream's dictionary: "stream", then the line end.
    const std::size_t s = window_.find('s', pos_);
    if (s == std::string_view::npos)
        return false;
    pos_ = s;
    if (!Match("stream"))
        return false;
    while (pos_ < window_.size() && window_[pos_] == ' ')
        ++pos_;
    if (pos_ < window_.size() && window_[pos_] == '\r')
        ++pos_;
    if (pos_ < window_.size() && window_[pos_] == '\n')
        ++pos_;
    if (params.length < 0 || static_cast<std::size_t>(params.length) > window_.size() - pos_ ||
        params.columns > kMaxColumns)
        return false;
    out.clear();
    filetools::Inflate(window_.substr(pos_, static_cast<std::size_t>(params.length)), out,
                       kMaxDecoded);
    if (params.columns > 0 && params.predictor > 9)
        UnfilterPngRows(out, static_cast<std::size_t>(params.columns));
    return true;
}

void PdfPageCounter::WholeFile()
{
    window_ = file_;
    pos_ = 0;
}

bool PdfPageCounter::ReadNumber(std::int64_t& value)
{
    while (pos_ < window_.size() && static_cast<unsigned char>(window_[pos_]) < '!')
        ++pos_;
    std::int64_t v = 0;
    std::size_t digits = 0;
    while (pos_ < window_.size() && IsDigit(window_[pos_])) {
        v = v * 10 + (window_[pos_] - '0');
        if (v > kMaxNumber)
            return false;
        ++pos_;
        ++digits;
    }
    if (digits == 0)
        return false;
    value = v;
    return true;
}

bool PdfPageCounter::ReadNumberOrReference(std::int64_t& value)
{
    if (!ReadNumber(value))
        return false;
    // "n g R": the number is the content of object n.
    const std::size_t after = pos_;
    std::int64_t generation = 0;
    if (!ReadNumber(generation)) {
        pos_ = after;
        return true;
    }
    SkipBlanks();
    if (!Match("R")) {
        pos_ = after;
        return true;
    }
    const std::string_view window = window_;
    const std::size_t resume = pos_;
    const bool ok = GoToObject(value) && ReadNumber(value);
    window_ = window;
    pos_ = resume;
    return ok;
}

bool PdfPageCounter::Match(std::string_view literal)
{
    if (window_.substr(pos_).substr(0, literal.size()) != literal)
        return false;
    pos_ += literal.size();
    return true;
}

void PdfPageCounter::SkipBlanks()
{
    while (pos_ < window_.size() && static_cast<unsigned char>(window_[pos_]) <= ' ')
        ++pos_;
}

bool PdfPageCounter::FindKey(std::string_view key)
{
    int level = 0;
    std::size_t i = pos_;
    while (i < window_.size()) {
        const char c = window_[i];
        if (c == '<' && i + 1 < window_.size() && window_[i + 1] == '<') {
            ++level;
            i += 2;
        } else if (c == '>' && i + 1 < window_.size() && window_[i + 1] == '>') {
            if (--level < 1)
                return false;
            i += 2;
        } else if (c == key[0] && level <= 1 && window_.substr(i, key.size()) == key) {
            const std::size_t end = i + key.size();
            // "/N" is not the start of "/Names".
            if (IsNameChar(key.back()) && end < window_.size() && IsNameChar(window_[end])) {
                ++i;
                continue;
            }
            pos_ = end;
            return true;
        } else {
            ++i;
        }
    }
    return false;
}

bool PdfPageCounter::FindKeyFrom(std::size_t dict, std::string_view key)
{
    pos_ = dict;
    return FindKey(key);
}

bool PdfPageCounter::SkipDictionary()
{
    int level = 0;
    std::size_t i = pos_;
    while (i + 1 < window_.size()) {
        if (window_[i] == '<' && window_[i + 1] == '<') {
            ++level;
            i += 2;
        } else if (window_[i] == '>' && window_[i + 1] == '>') {
            i += 2;
            if (--level <= 0) {
                pos_ = i;
                return true;
            }
        } else {
            ++i;
        }
    }
    return false;
}

const PdfPageCounter::XrefEntry* PdfPageCounter::Lookup(std::int64_t object) const
{
    for (const XrefEntry& e : entries_)
        if (e.object == object)
            return &e;
    return nullptr;
}

bool PdfPageCounter::GoToObject(std::int64_t object)
{
    const XrefEntry* e = Lookup(object);
    if (!e || e->stream != kPlain || e->offset >= static_cast<std::int64_t>(file_.size()))
        return false;
    WholeFile();
    pos_ = static_cast<std::size_t>(e->offset);
    std::int64_t number = 0, generation = 0;
    if (!ReadNumber(number) || number != object || !ReadNumber(generation))
        return false;
    SkipBlanks();
    return Match("obj");
}
