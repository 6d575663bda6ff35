#include "engine/topdf/officexml.h"

#include "engine/layout/fileutil.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

// ---------------------------------------------------------------------------
// Element nodes

bool XmlNode::is(const char* other) const
{
    return name && std::strcmp(name, other) == 0;
}

std::string_view XmlNode::attr(const char* attrName) const
{
    for (const auto& [key, value] : attributes) {
        if (std::strcmp(key, attrName) == 0)
            return value;
    }
    return std::string_view();
}

bool XmlNode::hasAttr(const char* attrName) const
{
    for (const auto& entry : attributes) {
        if (std::strcmp(entry.first, attrName) == 0)
            return true;
    }
    return false;
}

long long XmlNode::attrNumber(const char* attrName) const
{
    const std::string_view value = attr(attrName);
    std::size_t i = 0;
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+'))
        negative = value[i++] == '-';
    long long number = 0;
    // Saturates far beyond any size a part may state, so that scaling the
    // number later cannot overflow.
    constexpr long long kLimit = 1LL << 40;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
        number = std::min(kLimit, number * 10 + (value[i] - '0'));
    return negative ? -number : number;
}

const XmlNode* XmlNode::child(const char* childName, bool deep) const
{
    if (!deep) {
        for (const XmlNode* c = firstChild; c; c = c->nextSibling) {
            if (c->is(childName))
                return c;
        }
        return nullptr;
    }
    // Depth first in document order, without recursion.
    const XmlNode* node = firstChild;
    while (node) {
        if (node->is(childName))
            return node;
        if (node->firstChild) {
            node = node->firstChild;
            continue;
        }
        while (node && node != this && !node->nextSibling)
            node = node->parent;
        if (!node || node == this)
            return nullptr;
        node = node->nextSibling;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Tokens

namespace {

enum Marker : int { kText = 0, kOpen = 1, kEquals = 2, kSlash = 3, kQuestion = 4, kClose = 5 };

struct Item {
    int marker = kText;
    char* token = nullptr;
};

void AppendUtf8(char*& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        *out++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out++ = static_cast<char>(0xC0 | (cp >> 6));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (cp >> 12));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (cp >> 18));
        *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// A character reference "#65" or "#x41" (without "&" and ";"); 0 when it
// names no character that may stand in text.
std::uint32_t CharacterReference(const char* name, std::size_t length)
{
    if (length < 2 || name[0] != '#')
        return 0;
    const bool hex = name[1] == 'x' || name[1] == 'X';
    std::size_t i = hex ? 2 : 1;
    if (i >= length)
        return 0;
    std::uint32_t cp = 0;
    for (; i < length; ++i) {
        const char c = name[i];
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return 0;
        cp = cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
        if (cp > 0x10FFFF)
            return 0;
    }
    if (cp < 32 || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return cp;
}

// Length of the UTF-8 character that begins with `lead`; a stray
// continuation byte counts as one.
std::size_t Utf8Length(unsigned char lead)
{
    if (lead >= 0xF0 && lead <= 0xF7)
        return 4;
    if (lead >= 0xE0)
        return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

// Decodes the entities of the token [begin, end) in place, drops bytes
// below 32 and turns every no-break space into two blanks. Returns the new
// end; the caller terminates the token there.
char* DecodeToken(char* begin, char* end)
{
    char* out = begin;
    for (char* in = begin; in < end;) {
        const unsigned char c = static_cast<unsigned char>(*in);
        if (c < 32) {
            ++in;
            continue;
        }
        if (c == '&') {
            char* semi = static_cast<char*>(std::memchr(in + 1, ';', static_cast<std::size_t>(std::min<std::ptrdiff_t>(end - in - 1, 12))));
            if (semi) {
                const char* name = in + 1;
                const std::size_t length = static_cast<std::size_t>(semi - name);
                const std::string_view entity(name, length);
                char replacement = 0;
                if (entity == "gt")
                    replacement = '>';
                else if (entity == "lt")
                    replacement = '<';
                else if (entity == "amp")
                    replacement = '&';
                else if (entity == "quot")
                    replacement = '"';
                else if (entity == "apos")
                    replacement = '\'';
                else if (entity == "nbsp")
                    replacement = ' ';
                if (replacement) {
                    *out++ = replacement;
                    in = semi + 1;
                    continue;
                }
                // A character reference is never longer than its UTF-8 form
                // plus the "&#;" around it, so it fits in place.
                if (const std::uint32_t cp = CharacterReference(name, length)) {
                    AppendUtf8(out, cp);
                    in = semi + 1;
                    continue;
                }
            }
        }
        *out++ = *in++;
    }
    // No-break spaces become two blanks, stepping over whole characters so
    // that the bytes C2 A0 inside a longer character are never touched.
    for (char* p = begin; p < out;) {
        const auto lead = static_cast<unsigned char>(*p);
        const std::size_t step = std::min<std::size_t>(Utf8Length(lead), static_cast<std::size_t>(out - p));
        if (lead == 0xC2 && step == 2 && static_cast<unsigned char>(p[1]) == 0xA0) {
            p[0] = ' ';
            p[1] = ' ';
        }
        p += step;
    }
    return out;
}

// Cuts the bytes into tokens and markers in place. Quoted values are kept
// even when empty, so that an empty attribute value stays a value.
void Tokenize(char* bytes, std::size_t size, std::vector<Item>& items)
{
    bool inTag = false;
    bool inQuotes = false;
    char* start = nullptr;   // first byte of the pending token
    auto endToken = [&](char* at, bool keepEmpty) {
        if (!start)
            return;
        char* end = DecodeToken(start, at);
        *end = '\0';
        if (end != start || keepEmpty)
            items.push_back({kText, start});
        start = nullptr;
    };
    for (std::size_t i = 0; i < size; ++i) {
        char* p = bytes + i;
        const unsigned char c = static_cast<unsigned char>(*p);
        if (inTag && c == '"') {
            if (inQuotes) {
                if (!start)
                    start = p;
                endToken(p, true);
            } else {
                endToken(p, false);
                start = p + 1;
                // An empty value: the token begins at the closing quote.
            }
            inQuotes = !inQuotes;
            continue;
        }
        if (inQuotes)
            continue;
        if (inTag) {
            int marker = -1;
            switch (c) {
            case '/': marker = kSlash; break;
            case '=': marker = kEquals; break;
            case '?': marker = kQuestion; break;
            case '>': marker = kClose; break;
            default: break;
            }
            if (c <= 32 || marker >= 0) {
                endToken(p, false);
                if (marker >= 0)
                    items.push_back({marker, nullptr});
                if (marker == kClose)
                    inTag = false;
            } else if (!start) {
                start = p;
            }
            continue;
        }
        if (c == '<') {
            endToken(p, false);
            items.push_back({kOpen, nullptr});
            inTag = true;
            continue;
        }
        if (!start)
            start = p;
    }
    // The buffer holds one byte past the data for the last terminator.
    endToken(bytes + size, inQuotes);
}

} // namespace

bool OfficeXml::load(std::string bytes)
{
    nodes_.clear();
    bytes_ = std::move(bytes);
    const std::size_t size = bytes_.size();
    bytes_.push_back('\0');
    std::vector<Item> items;
    items.reserve(size / 8 + 4);
    Tokenize(bytes_.data(), size, items);

    nodes_.emplace_back();
    XmlNode* rootNode = &nodes_.front();
    XmlNode* current = rootNode;
    bool inTag = false;
    bool slash = false;
    bool skipTag = false;   // a declaration, comment or processing instruction
    const char* pendingName = nullptr;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Item& item = items[i];
        const int previous = i > 0 ? items[i - 1].marker : -1;
        const int next = i + 1 < items.size() ? items[i + 1].marker : -1;
        switch (item.marker) {
        case kOpen: {
            inTag = true;
            slash = false;
            skipTag = false;
            pendingName = nullptr;
            const bool token = next == kText;
            if (next == kQuestion || (token && items[i + 1].token[0] == '!')) {
                skipTag = true;
            } else if (next != kSlash) {
                nodes_.emplace_back();
                XmlNode* node = &nodes_.back();
                node->parent = current;
                if (current->lastChild)
                    current->lastChild->nextSibling = node;
                else
                    current->firstChild = node;
                current->lastChild = node;
                current = node;
            }
            break;
        }
        case kSlash:
            if (inTag)
                slash = true;
            break;
        case kClose:
            if (!inTag)
                return false;
            if (slash && !skipTag) {
                if (current == rootNode)
                    return false;
                current = current->parent;
            }
            inTag = false;
            break;
        case kText:
            if (!inTag) {
                current->text = item.token;
            } else if (!slash && !skipTag) {
                if (previous == kOpen) {
                    current->name = item.token;
                } else if (previous == kEquals) {
                    if (pendingName)
                        current->attributes.emplace_back(pendingName, item.token);
                    pendingName = nullptr;
                } else if (next == kEquals) {
                    pendingName = item.token;
                }
            }
            break;
        default:
            break;
        }
    }
    // A node opened without a name (a "<" followed by a blank) would match
    // nothing and confuse nothing; give it an empty one.
    for (XmlNode& node : nodes_) {
        if (!node.name && &node != rootNode)
            node.name = "";
    }
    return current == rootNode && !inTag;
}

// ---------------------------------------------------------------------------
// Colours

namespace {

struct NamedColour {
    const char* name;
    const char* value;
};

// "auto", then the X11 colour names with their X11 values, sorted by name
// after "auto".
const NamedColour kColourNames[] = {
    {"auto", "FFFFFF"}, {"aliceblue", "F0F8FF"}, {"antiquewhite", "FAEBD7"}, {"aqua", "00FFFF"},
    {"aquamarine", "7FFFD4"}, {"azure", "F0FFFF"}, {"beige", "F5F5DC"}, {"bisque", "FFE4C4"},
    {"black", "000000"}, {"blanchedalmond", "FFEBCD"}, {"blue", "0000FF"}, {"blueviolet", "8A2BE2"},
    {"brown", "A52A2A"}, {"burlywood", "DEB887"}, {"cadetblue", "5F9EA0"}, {"chartreuse", "7FFF00"},
    {"chocolate", "D2691E"}, {"coral", "FF7F50"}, {"cornflowerblue", "6495ED"}, {"cornsilk", "FFF8DC"},
    {"crimson", "DC143C"}, {"cyan", "00FFFF"}, {"darkblue", "00008B"}, {"darkcyan", "008B8B"},
    {"darkgoldenrod", "B8860B"}, {"darkgray", "A9A9A9"}, {"darkgreen", "006400"}, {"darkgrey", "A9A9A9"},
    {"darkkhaki", "BDB76B"}, {"darkmagenta", "8B008B"}, {"darkolivegreen", "556B2F"}, {"darkorange", "FF8C00"},
    {"darkorchid", "9932CC"}, {"darkred", "8B0000"}, {"darksalmon", "E9967A"}, {"darkseagreen", "8FBC8F"},
    {"darkslateblue", "483D8B"}, {"darkslategray", "2F4F4F"}, {"darkslategrey", "2F4F4F"}, {"darkturquoise", "00CED1"},
    {"darkviolet", "9400D3"}, {"deeppink", "FF1493"}, {"deepskyblue", "00BFFF"}, {"dimgray", "696969"},
    {"dimgrey", "696969"}, {"dodgerblue", "1E90FF"}, {"firebrick", "B22222"}, {"floralwhite", "FFFAF0"},
    {"forestgreen", "228B22"}, {"fuchsia", "FF00FF"}, {"gainsboro", "DCDCDC"}, {"ghostwhite", "F8F8FF"},
    {"gold", "FFD700"}, {"goldenrod", "DAA520"}, {"gray", "BEBEBE"}, {"green", "00FF00"},
    {"greenyellow", "ADFF2F"}, {"grey", "BEBEBE"}, {"honeydew", "F0FFF0"}, {"hotpink", "FF69B4"},
    {"indianred", "CD5C5C"}, {"indigo", "4B0082"}, {"ivory", "FFFFF0"}, {"khaki", "F0E68C"},
    {"lavender", "E6E6FA"}, {"lavenderblush", "FFF0F5"}, {"lawngreen", "7CFC00"}, {"lemonchiffon", "FFFACD"},
    {"lightblue", "ADD8E6"}, {"lightcoral", "F08080"}, {"lightcyan", "E0FFFF"}, {"lightgoldenrod", "EEDD82"},
    {"lightgoldenrodyellow", "FAFAD2"}, {"lightgray", "D3D3D3"}, {"lightgreen", "90EE90"}, {"lightgrey", "D3D3D3"},
    {"lightpink", "FFB6C1"}, {"lightsalmon", "FFA07A"}, {"lightseagreen", "20B2AA"}, {"lightskyblue", "87CEFA"},
    {"lightslategray", "778899"}, {"lightslategrey", "778899"}, {"lightsteelblue", "B0C4DE"}, {"lightyellow", "FFFFE0"},
    {"lime", "00FF00"}, {"limegreen", "32CD32"}, {"linen", "FAF0E6"}, {"magenta", "FF00FF"},
    {"maroon", "B03060"}, {"mediumaquamarine", "66CDAA"}, {"mediumblue", "0000CD"}, {"mediumorchid", "BA55D3"},
    {"mediumpurple", "9370DB"}, {"mediumseagreen", "3CB371"}, {"mediumslateblue", "7B68EE"}, {"mediumspringgreen", "00FA9A"},
    {"mediumturquoise", "48D1CC"}, {"mediumvioletred", "C71585"}, {"midnightblue", "191970"}, {"mintcream", "F5FFFA"},
    {"mistyrose", "FFE4E1"}, {"moccasin", "FFE4B5"}, {"navajowhite", "FFDEAD"}, {"navy", "000080"},
    {"oldlace", "FDF5E6"}, {"olive", "808000"}, {"olivedrab", "6B8E23"}, {"orange", "FFA500"},
    {"orangered", "FF4500"}, {"orchid", "DA70D6"}, {"palegoldenrod", "EEE8AA"}, {"palegreen", "98FB98"},
    {"paleturquoise", "AFEEEE"}, {"palevioletred", "DB7093"}, {"papayawhip", "FFEFD5"}, {"peachpuff", "FFDAB9"},
    {"peru", "CD853F"}, {"pink", "FFC0CB"}, {"plum", "DDA0DD"}, {"powderblue", "B0E0E6"},
    {"purple", "A020F0"}, {"red", "FF0000"}, {"rosybrown", "BC8F8F"}, {"royalblue", "4169E1"},
    {"saddlebrown", "8B4513"}, {"salmon", "FA8072"}, {"sandybrown", "F4A460"}, {"seagreen", "2E8B57"},
    {"seashell", "FFF5EE"}, {"sienna", "A0522D"}, {"silver", "C0C0C0"}, {"skyblue", "87CEEB"},
    {"slateblue", "6A5ACD"}, {"slategray", "708090"}, {"slategrey", "708090"}, {"snow", "FFFAFA"},
    {"springgreen", "00FF7F"}, {"steelblue", "4682B4"}, {"tan", "D2B48C"}, {"teal", "008080"},
    {"thistle", "D8BFD8"}, {"tomato", "FF6347"}, {"turquoise", "40E0D0"}, {"violet", "EE82EE"},
    {"wheat", "F5DEB3"}, {"white", "FFFFFF"}, {"whitesmoke", "F5F5F5"}, {"yellow", "FFFF00"},
    {"yellowgreen", "9ACD32"}, 
};

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::uint32_t colorFromString(const char* text)
{
    return text ? colorFromString(std::string_view(text)) : 0;
}

std::uint32_t colorFromString(std::string_view text)
{
    if (text.empty())
        return 0;
    if (text[0] >= 'a' && text[0] <= 'z') {
        for (const NamedColour& entry : kColourNames) {
            if (text == entry.name) {
                text = entry.value;
                break;
            }
        }
    }
    // Six hexadecimal digits; a missing or unreadable digit counts as 0.
    std::uint32_t rgb = 0;
    for (std::size_t i = 0; i < 6; ++i) {
        const int digit = i < text.size() ? HexDigit(text[i]) : -1;
        rgb = (rgb << 4) | static_cast<std::uint32_t>(digit < 0 ? 0 : digit);
    }
    const std::uint32_t red = (rgb >> 16) & 0xFF;
    const std::uint32_t green = (rgb >> 8) & 0xFF;
    const std::uint32_t blue = rgb & 0xFF;
    return red | (green << 8) | (blue << 16);
}

std::uint32_t applyLumMod(std::uint32_t colour, long long factor)
{
    long long channel[3] = {colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF};
    const long long maxValue = std::max({channel[0], channel[1], channel[2]});
    const long long minValue = std::min({channel[0], channel[1], channel[2]});
    const long long sum = maxValue + minValue;
    if (sum == 0)
        return colour;
    factor = std::clamp(factor, 0LL, 10000000LL);
    const long long lightness = sum * factor / 100000;
    const long long lightSpan = lightness < 256 ? lightness : 512 - lightness;
    const long long sumSpan = sum < 256 ? sum : 512 - sum;
    const long long chroma = sumSpan > 0 ? lightSpan * (maxValue - minValue) / sumSpan : 0;
    const long long high = (lightness + chroma) / 2;
    const long long low = (lightness - chroma) / 2;
    std::uint32_t result = 0;
    for (int i = 0; i < 3; ++i) {
        long long value = 0;
        if (maxValue == minValue)
            value = lightness / 2;
        else if (channel[i] == maxValue)
            value = high;
        else if (channel[i] == minValue)
            value = low;
        else
            value = low + chroma * (channel[i] - minValue) / (maxValue - minValue);
        result |= static_cast<std::uint32_t>(std::clamp(value, 0LL, 255LL)) << (8 * i);
    }
    return result;
}

// ---------------------------------------------------------------------------
// Cells, part names and numbers

bool ParseCellRef(std::string_view ref, int& column, int& row, std::size_t* used)
{
    constexpr long long kMaxColumn = 16384;
    constexpr long long kMaxRow = 1048576;
    std::size_t i = 0;
    long long col = 0;
    for (; i < ref.size() && ref[i] >= 'A' && ref[i] <= 'Z'; ++i) {
        col = col * 26 + (ref[i] - 'A' + 1);
        if (col > kMaxColumn)
            return false;
    }
    const std::size_t letters = i;
    long long r = 0;
    for (; i < ref.size() && ref[i] >= '0' && ref[i] <= '9'; ++i) {
        r = r * 10 + (ref[i] - '0');
        if (r > kMaxRow)
            return false;
    }
    if (letters == 0 || i == letters || r == 0)
        return false;
    column = static_cast<int>(col);
    row = static_cast<int>(r);
    if (used)
        *used = i;
    return true;
}

bool ParseCellRange(std::string_view ref, CellRange& range)
{
    std::size_t used = 0;
    if (!ParseCellRef(ref, range.firstColumn, range.firstRow, &used))
        return false;
    if (used >= ref.size()) {
        range.lastColumn = range.firstColumn;
        range.lastRow = range.firstRow;
        return true;
    }
    if (ref[used] != ':' || !ParseCellRef(ref.substr(used + 1), range.lastColumn, range.lastRow))
        return false;
    if (range.lastColumn < range.firstColumn)
        std::swap(range.lastColumn, range.firstColumn);
    if (range.lastRow < range.firstRow)
        std::swap(range.lastRow, range.firstRow);
    return true;
}

std::string ResolvePartName(const std::string& baseFolder, std::string_view target)
{
    if (target.empty() || target.find(':') != std::string_view::npos || target.find('\\') != std::string_view::npos)
        return std::string();
    std::vector<std::string> parts;
    auto push = [&](std::string_view path) {
        std::size_t start = 0;
        while (start <= path.size()) {
            std::size_t slash = path.find('/', start);
            if (slash == std::string_view::npos)
                slash = path.size();
            const std::string_view part = path.substr(start, slash - start);
            start = slash + 1;
            if (part.empty() || part == ".")
                continue;
            if (part == "..") {
                if (parts.empty())
                    return false;   // above the package
                parts.pop_back();
                continue;
            }
            parts.emplace_back(part);
        }
        return true;
    };
    // A target that begins with "/" names the part from the package root.
    if (target.front() != '/' && !push(baseFolder))
        return std::string();
    if (!push(target) || parts.empty())
        return std::string();
    std::string name;
    for (const std::string& part : parts) {
        if (!name.empty())
            name += '/';
        name += part;
    }
    return name;
}

int NumberAfter(std::string_view text, std::string_view prefix)
{
    if (text.substr(0, prefix.size()) != prefix)
        return 0;
    long long number = 0;
    std::size_t i = prefix.size();
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        number = number * 10 + (text[i] - '0');
        if (number > 100000)
            return 0;
    }
    return static_cast<int>(number);
}

// ---------------------------------------------------------------------------
// Reader context

OfficeReaderContext::OfficeReaderContext(std::string packageFolder) : folder(std::move(packageFolder))
{
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
}

bool OfficeReaderContext::readPart(const std::string& name, std::string& bytes) const
{
    bytes.clear();
    if (name.empty() || name.find("..") != std::string::npos)
        return false;
    const std::string path = folder + name;
    // Only regular files of the package, never a link placed there.
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return ReadWholeFile(path, bytes);
}

bool OfficeReaderContext::loadPart(const std::string& name, OfficeXml& xml) const
{
    std::string bytes;
    if (!readPart(name, bytes))
        return false;
    xml.load(std::move(bytes));
    return true;
}

bool OfficeReaderContext::readRelationships(const std::string& name,
                                            std::map<std::string, std::string>& map) const
{
    OfficeXml xml;
    if (!loadPart(name, xml))
        return false;
    const XmlNode* top = xml.top();
    if (!top)
        return true;
    for (const XmlNode* c = top->firstChild; c; c = c->nextSibling) {
        // External targets (web addresses) name no part of the package.
        if (c->attr("TargetMode") == "External")
            continue;
        map[std::string(c->attr("Id"))] = std::string(c->attr("Target"));
    }
    return true;
}

bool OfficeReaderContext::sendPicture(const std::string& name) const
{
    std::string bytes;
    if (!readPart(name, bytes) || bytes.size() < 2 || bytes.size() > 0x7FFFFFFF)
        return false;
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    const auto b1 = static_cast<unsigned char>(bytes[1]);
    unsigned type = 0;
    if (b0 == 0xFF && b1 == 0xD8)
        type = 0;
    else if (b0 == 'G' && b1 == 'I')
        type = 1;
    else if (b0 == 0x89 && b1 == 0x50)
        type = 2;
    else if (b0 == 'B' && b1 == 'M')
        type = 3;
    else
        return false;
    if (callback)
        callback(user, bytes.data(), static_cast<int>(bytes.size()), CE_PICTURE, type);
    return true;
}

void OfficeReaderContext::resetRun(bool full)
{
    const RunStyle kept = style;
    style = RunStyle();
    if (inTable && !full) {
        style.backColour = kept.backColour;
        style.vAnchor = kept.vAnchor;
    }
}

void OfficeReaderContext::send(unsigned code, int len, std::uintptr_t arg) const
{
    if (callback)
        callback(user, nullptr, len, code, arg);
}

void OfficeReaderContext::sendText(const char* utf8) const
{
    if (callback && utf8 && *utf8)
        callback(user, utf8, 0, CE_TEXT_UTF8, reinterpret_cast<std::uintptr_t>(&style));
}

void OfficeReaderContext::sendNextCell() const
{
    send(CE_NEXT_CELL, 0, reinterpret_cast<std::uintptr_t>(&style));
}

void OfficeReaderContext::sendTable(int op, long long value) const
{
    value = std::clamp<long long>(value, -0x7FFFFFFFLL, 0x7FFFFFFFLL);
    send(CE_TABLE, op, static_cast<std::uintptr_t>(static_cast<std::uint32_t>(static_cast<std::int32_t>(value))));
}
