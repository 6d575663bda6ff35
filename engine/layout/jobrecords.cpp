#include "engine/layout/jobrecords.h"

#include "engine/layout/strutil.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

// The ranges of one selection together may not append more entries than
// this: neither "1-2000000000" nor a list of many such ranges may exhaust
// memory. No document has that many pages.
constexpr long long kMaxRangeEntries = 1 << 22;

// Appends a, a+1, ..., b; nothing when a > b or the selection is full.
void AppendRange(std::vector<int>& pages, long long a, long long b)
{
    const long long room = kMaxRangeEntries - static_cast<long long>(pages.size());
    if (room <= 0)
        return;
    b = std::min(b, a + room - 1);
    for (long long v = a; v <= b; ++v)
        pages.push_back(static_cast<int>(v));
}

int NumberW(const std::wstring& piece)
{
    // "<null>" holds no digits and so reads as 0, as an empty part should.
    return wstr2int(piece.c_str());
}

// "a-b" with 1-based page numbers; parts beyond the second are ignored.
void AppendRangePieceW(std::vector<int>& pages, const std::wstring& piece)
{
    const std::vector<std::wstring> ends = w_split(piece, L"-", L"<null>");
    const long long a = static_cast<long long>(NumberW(ends[0])) - 1;
    const long long b = static_cast<long long>(NumberW(ends[1])) - 1;
    AppendRange(pages, a, b);
}

void AppendRangePiece(std::vector<int>& pages, const std::string& piece)
{
    const std::vector<std::string> ends = split(piece, "-", "<null>");
    const long long a = static_cast<long long>(str2int(ends[0].c_str())) - 1;
    const long long b = static_cast<long long>(str2int(ends[1].c_str())) - 1;
    AppendRange(pages, a, b);
}

// Numbers, lists and ranges shared by both grammars.
void AppendListW(std::vector<int>& pages, const std::wstring& text)
{
    if (text.find(L',') != std::wstring::npos) {
        for (const std::wstring& piece : w_split(text, L",", L"<null>")) {
            if (piece == L"<null>")
                continue;
            if (piece.find(L'-') != std::wstring::npos)
                AppendRangePieceW(pages, piece);
            else
                pages.push_back(NumberW(piece) - 1);
        }
    } else if (text.find(L'-') != std::wstring::npos) {
        AppendRangePieceW(pages, text);
    } else {
        pages.push_back(static_cast<int>(static_cast<long long>(NumberW(text)) - 1));
    }
}

void AppendList(std::vector<int>& pages, const std::string& text)
{
    if (text.find(',') != std::string::npos) {
        for (const std::string& piece : split(text, ",", "<null>")) {
            if (piece == "<null>")
                continue;
            if (piece.find('-') != std::string::npos)
                AppendRangePiece(pages, piece);
            else
                pages.push_back(static_cast<int>(static_cast<long long>(str2int(piece.c_str())) - 1));
        }
    } else if (text.find('-') != std::string::npos) {
        AppendRangePiece(pages, text);
    } else {
        pages.push_back(static_cast<int>(static_cast<long long>(str2int(text.c_str())) - 1));
    }
}

// A selection text that names no page must select nothing. Left empty, the
// list would fall back to the range first .. last, which is the whole
// document; the entry -1 names no page instead.
void SelectNothingIfEmpty(std::vector<int>& pages)
{
    if (pages.empty())
        pages.push_back(-1);
}

template <typename Out, typename In>
void CopyCommonFields(Out* out, const In* in)
{
    out->type = std::atoi(in->type.c_str());
    out->source = in->source;
    out->dest = in->dest;
    out->epubIgnoreImg = in->epubIgnoreImg;
    out->convertKind = in->convertKind;
    out->htmlIgnoreImg = in->htmlIgnoreImg;
    out->imgExtract = in->imgExtract;
    out->wordOp = in->wordOp;
    out->exePath = in->exePath;
    out->result = in->result;
    out->password = in->password;
}

} // namespace

bool exportdata2basedata_w(Basedata_w* out, const exportdata_w* in)
{
    CopyCommonFields(out, in);
    out->imgHighRes = in->imgHighRes;
    out->enableOCR = in->enableOCR;
    out->ocrMode = in->ocrMode;

    const std::wstring& text = in->range;
    const int count = out->last;
    if (text == L"All") {
        out->first = 0;
        out->last = 0;
        return true;
    }
    if (text == L"Odd" || text == L"Even") {
        for (int p = text == L"Odd" ? 0 : 1; p < count; p += 2)
            out->pages.push_back(p);
        SelectNothingIfEmpty(out->pages);
        return true;
    }
    AppendListW(out->pages, text);
    SelectNothingIfEmpty(out->pages);
    return false;
}

bool exportdata2basedata(Basedata* out, const exportdata* in)
{
    CopyCommonFields(out, in);
    if (in->range == "All Pages") {
        out->first = 0;
        out->last = 0;
        return true;
    }
    AppendList(out->pages, in->range);
    SelectNothingIfEmpty(out->pages);
    return false;
}

bool ImportData_w(std::vector<Basedata_w>*)
{
    return true;
}

bool ExportData_w(const std::vector<exportdata_w>&)
{
    return true;
}
