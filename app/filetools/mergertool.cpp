#include "app/filetools/mergertool.h"

#include "app/filetools/mergesources.h"
#include "app/filetools/pdflib.h"
#include "app/filetools/sheetlayout.h"
#include "engine/layout/utf8.h"

#include <cstring>
#include <memory>
#include <new>

using namespace PoDoFo;

namespace {

// Sheet sizes of the paper codes, in points.
struct Paper {
    int width;
    int height;
};
constexpr Paper kPapers[] = {
    {420, 595},  // A5
    {595, 842},  // A4
    {842, 1190}, // A3
    {612, 790},  // Letter
    {612, 1009}, // Legal
    {575, 360},  // Junior Legal
    {1224, 790}, // Ledger
    {790, 1224}, // Tabloid
};

// The leading decimal number of `s`, saturated far above any page count so
// that a run of digits cannot overflow.
long long LeadingNumber(const std::string& s, std::size_t from = 0)
{
    long long v = 0;
    for (std::size_t i = from; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        v = v < 1000000000LL ? v * 10 + (s[i] - '0') : v;
    return v;
}

std::string Trimmed(const std::string& s)
{
    const std::size_t a = s.find_first_not_of(" \t");
    const std::size_t b = s.find_last_not_of(" \t");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// One source ready to be placed: what the cache opened, and the 0-based
// pages to take.
struct Placement {
    int row;
    const filetools::MergeSourceCache::Source* source;
    std::vector<int> pages;
};

} // namespace

MergerTool::MergerTool() = default;

void MergerTool::SetCallBack(void* user, MergeProgressCallback progress, MergeCancelCallback cancel)
{
    user_ = user;
    progress_ = progress;
    cancel_ = cancel;
}

bool MergerTool::SetLayout(int paper, int nup, int dir)
{
    if (paper >= 0 && paper < static_cast<int>(std::size(kPapers))) {
        sheetWidth_ = kPapers[paper].width;
        sheetHeight_ = kPapers[paper].height;
    } else {
        sheetWidth_ = sheetHeight_ = -1;
    }
    const bool nupOk = static_cast<unsigned>(nup) <= 2;
    if (nupOk)
        nup_ = nup;
    dir_ = dir >= 0 && dir <= 2 ? dir : 0;
    return nupOk;
}

bool MergerTool::SetLayout(int width, int height, int nup, int dir)
{
    bool ok = true;
    if (width < 1 || height < 1) {
        sheetWidth_ = sheetHeight_ = -1;
        ok = false;
    } else {
        sheetWidth_ = width;
        sheetHeight_ = height;
    }
    if (static_cast<unsigned>(nup) <= 2)
        nup_ = nup;
    else
        ok = false;
    dir_ = dir >= 0 && dir <= 2 ? dir : 0;
    return ok;
}

void MergerTool::SetOutPDFPath(const wchar_t* path)
{
    outputPath_ = path ? path : L"";
}

void MergerTool::SetProcessPath(const wchar_t* path)
{
    processPath_ = path ? path : L"";
}

bool MergerTool::AppendMergeSrc(int index, const wchar_t* path, int pageCount, const char* pageSel,
                                const char* password)
{
    if (index < 0 || !path)
        return false;
    Source s{index, path, pageCount, std::nullopt, std::nullopt};
    if (pageSel)
        s.selection = pageSel;
    if (password && *password)
        s.password = password;
    sources_.push_back(std::move(s));
    return true;
}

void MergerTool::ClearMergeData()
{
    sources_.clear();
}

void MergerTool::SetOpenPwd(const char* password)
{
    if (password && *password) {
        openPwdSet_ = true;
        openPwd_ = password;
    } else {
        openPwdSet_ = false;
    }
}

void MergerTool::SetPemissionPwd(const char* password, bool allowEdit, bool allowCopy,
                                 bool allowPrint)
{
    if (password && *password) {
        permissionPwdSet_ = true;
        permissionPwd_ = password;
    } else if (openPwdSet_) {
        permissionPwdSet_ = true;
        permissionPwd_ = openPwd_;
    } else {
        permissionPwdSet_ = false;
    }
    if (!permissionPwdSet_)
        return;
    if (allowEdit)
        permissions_ |= PERMIT_EDIT;
    if (allowCopy)
        permissions_ |= PERMIT_COPY;
    if (allowPrint)
        permissions_ |= PERMIT_PRINT;
}

void MergerTool::NotifyProcess(int index, int percent)
{
    if (user_ && progress_)
        progress_(user_, index, WM_PROGRESS_PERCENT, percent);
}

bool MergerTool::TestCancel()
{
    return user_ && cancel_ && cancel_(user_);
}

int MergerTool::GetPdfInfo(const wchar_t* path)
{
    if (!path)
        return -1;
    filetools::SetUpPdfLibrary();
    try {
        PdfMemDocument doc;
        filetools::LoadWithPassword(doc, path, false, nullptr);
        return doc.GetPageCount();
    } catch (const PdfError&) {
        return -1;
    }
}

bool MergerTool::GetSelectPage(const char* sel, std::vector<int>& out, int count)
{
    out.clear();
    if (!sel)
        return false;
    const std::string text = sel;
    if (text == "Odd" || text == "Even") {
        for (int p = text == "Odd" ? 1 : 2; p <= count; p += 2)
            out.push_back(p);
        return true;
    }
    bool ok = true;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(',', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string token = Trimmed(text.substr(start, end - start));
        start = end + 1;
        if (token.empty())
            continue;
        const std::size_t dash = token.find('-');
        if (dash == std::string::npos) {
            const long long n = LeadingNumber(token);
            if (n >= 1 && n <= count)
                out.push_back(static_cast<int>(n));
        } else if (dash == 0 || dash == token.size() - 1) {
            ok = false;
        } else {
            const long long a = LeadingNumber(Trimmed(token.substr(0, dash)));
            long long b = LeadingNumber(Trimmed(token.substr(dash + 1)));
            if (b > count)
                b = count;
            if (b < a) {
                ok = false;
                continue;
            }
            for (long long p = a < 1 ? 1 : a; p <= b; ++p)
                out.push_back(static_cast<int>(p));
        }
    }
    return ok;
}

bool MergerTool::StartMerge(int index)
{
    filetools::SetUpPdfLibrary();
    if (TestCancel() || outputPath_.empty())
        return false;
    const bool perSource = index == -1;
    if (!perSource)
        NotifyProcess(index, 5);
    try {
        PdfMemDocument output;
        filetools::MergeSourceCache cache(output);

        // Every source is opened once here, so that the pages to take come
        // from the loaded document, not from the page count the caller
        // guessed; sources that cannot be read, and empty selections, drop
        // out.
        std::vector<Placement> placements;
        int units = 0;
        for (const Source& s : sources_) {
            if (TestCancel())
                return false;
            const auto& source = cache.Get(s.path, s.password ? s.password->c_str() : nullptr);
            if (!source.loaded)
                continue;
            Placement p{perSource ? s.index - 1 : index, &source, {}};
            if (source.type == filetools::SOURCE_PDF) {
                const int count = source.document->GetPageCount();
                if (!s.selection) {
                    for (int i = 0; i < count; ++i)
                        p.pages.push_back(i);
                } else {
                    GetSelectPage(s.selection->c_str(), p.pages, count);
                    for (int& page : p.pages)
                        --page;
                }
                if (p.pages.empty())
                    continue;
                units += static_cast<int>(p.pages.size());
            } else {
                units += 1;
            }
            placements.push_back(std::move(p));
        }
        if (TestCancel())
            return false;
        if (units == 0) {
            PdfError::LogMessage(eLogSeverity_Warning, "Nothing to merge: no page of any source.\n");
            return false;
        }

        filetools::SheetLayout layout(output, nup_, sheetWidth_, sheetHeight_, dir_);
        double step = 90.0 / units;
        double running = 5;
        for (const Placement& p : placements) {
            const bool image = p.source->type == filetools::SOURCE_IMAGE;
            if (perSource) {
                running = 5;
                step = 90.0 / (image ? 1 : static_cast<double>(p.pages.size()));
            }
            if (image) {
                if (TestCancel())
                    return false;
                layout.PlaceImage(p.source->image);
                running += step;
                NotifyProcess(p.row, static_cast<int>(running));
                continue;
            }
            for (int page : p.pages) {
                if (TestCancel())
                    return false;
                layout.PlacePage(*p.source->document, page, p.source->difference);
                running += step;
                NotifyProcess(p.row, static_cast<int>(running));
            }
        }
        layout.Finish();

        if (!perSource)
            NotifyProcess(index, 95);
        if (TestCancel())
            return false;
        // PoDoFo 0.9.8's garbage collection rewrites every reference to
        // "1 0 R": unreachable objects of the sources stay in the file.
        if (!perSource)
            NotifyProcess(index, 97);

        std::unique_ptr<PdfEncrypt> encryption;
        if (openPwdSet_ || permissionPwdSet_)
            encryption.reset(PdfEncrypt::CreatePdfEncrypt(
                openPwdSet_ ? openPwd_ : std::string(), permissionPwd_, permissions_,
                PdfEncrypt::ePdfEncryptAlgorithm_RC4V1, PdfEncrypt::ePdfKeyLength_40));
        if (TestCancel())
            return false;
        output.SetPageMode(ePdfPageModeUseBookmarks);
        filetools::WriteDocument(output, outputPath_, encryption.get());

        if (!perSource) {
            NotifyProcess(index, 100);
        } else {
            for (const Placement& p : placements)
                NotifyProcess(p.row, 100);
        }
        return true;
    } catch (const PdfError& e) {
        e.PrintErrorMsg();
        return false;
    } catch (const std::bad_alloc&) {
        PdfError::LogMessage(eLogSeverity_Error, "Out of memory while merging.\n");
        return false;
    }
}
