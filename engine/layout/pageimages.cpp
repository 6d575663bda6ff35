#include "engine/layout/pageimages.h"

#include "engine/layout/fileutil.h"
#include "engine/layout/globalenum.h"
#include "engine/layout/strutil.h"
#include "engine/layout/utf8.h"
#include "parser/parser.h"

#include <filesystem>
#include <vector>

namespace {

bool MakeFolder(const std::wstring& path)
{
    std::error_code ec;
    std::filesystem::create_directories(utf8::Path(path), ec);
    return std::filesystem::is_directory(utf8::Path(path), ec);
}

std::wstring WithoutTrailingSlash(std::wstring s)
{
    if (!s.empty() && s.back() == L'/')
        s.pop_back();
    return s;
}

std::wstring LoadedPdfPath(Parser* parser)
{
    std::vector<wchar_t> buf(1024);
    if (!parser->GetParsedFilePath(buf.data(), static_cast<int>(buf.size())))
        return {};
    return buf.data();
}

// Renders page p whole; true when the renderer wrote the picture.
bool RenderPage(Parser* parser, int p, int n, float scale, const Basedata_w& item)
{
    const std::wstring picture = GlobalEnum::tmppath + L"ImageFiles/Page" + int2wstr(n) + L".jpg";
    const std::wstring pdf = LoadedPdfPath(parser);
    if (pdf.empty())
        return false;
    return Parser::ConvertPDFPageToJpeg(pdf, picture, p + 1, static_cast<int>(scale) * 96,
                                        item.password);
}

// Takes every picture of page p out of the PDF; a page without pictures
// counts as done.
bool ExtractPictures(Parser* parser, int p, int n)
{
    if (!parser->SetCurrentPage(p))
        return false;
    int k = 1;
    while (CollectBase* obj = parser->GetNextObj()) {
        auto* image = dynamic_cast<ImageCollect*>(obj);
        if (!image)
            continue;
        const std::wstring path = GlobalEnum::tmppath + L"ImageFiles/Page" + int2wstr(n) + L"_" +
                                  int2wstr(k) + L".jpg";
        if (!image->GetMaskPath()) {
            CopyFile(image->GetImagePath(), path, false);
        } else {
            // A masked picture is drawn as it shows on the page.
            ImageCollect region;
            std::vector<CollectBase*> one{image};
            parser->DrawObjects(one, path, region);
        }
        ++k;
    }
    return true;
}

void Report(const callback_funcs& cb, void* ctx, int index, int value)
{
    if (cb.progress)
        cb.progress(ctx, index, WM_PROGRESS_PERCENT, value);
}

} // namespace

PageImageExport exportPageImages(Parser* parser, const std::wstring& name,
                                 const Basedata_w& item, const callback_funcs& callbacks,
                                 void* ctx, int index, float scale, int pageOffset,
                                 bool merge, const std::wstring& mergeFolder)
{
    PageImageExport result;
    const int count = parser->GetPageCount();
    const bool extract = item.imgExtract;
    const std::wstring out = WithoutTrailingSlash(item.dest);
    const std::wstring base = out + L"/" + name;
    // A one-page document rendered whole becomes one picture beside the other
    // outputs, under a name no existing file has.
    if (!extract && count == 1 && !merge) {
        if (!MakeFolder(out))
            return result;
        const std::wstring target = FreeOutputPath(base, L".jpg");
        const std::wstring pdf = LoadedPdfPath(parser);
        if (pdf.empty() || !Parser::ConvertPDFPageToJpeg(pdf, target, 1,
                                                         static_cast<int>(scale) * 96,
                                                         item.password))
            return result;
        result.status = ExportStatus::Done;
        result.path = target;
        return result;
    }

    std::vector<int> chosen;
    if (item.pages.empty() && item.first == 0 && item.last == 0) {
        for (int p = 0; p < count; ++p)
            chosen.push_back(p);
    } else if (!item.pages.empty()) {
        chosen = item.pages;
    }
    if (chosen.empty() || count <= 0)
        return result;

    const std::wstring folder = !mergeFolder.empty() ? mergeFolder : FreeOutputPath(base, L"");
    if (!MakeFolder(folder))
        return result;

    const int m = static_cast<int>(chosen.size());
    const double step = 50.0 / m;
    const int basePercent = static_cast<int>(step) + 30;
    int done = 0;
    for (int j = 0; j < m; ++j) {
        if (callbacks.cancel && callbacks.cancel(ctx)) {
            DeleteFiles(GlobalEnum::tmppath + L"Files/*", false);
            result.status = ExportStatus::Cancelled;
            return result;
        }
        const int p = chosen[static_cast<std::size_t>(j)];
        if (p >= 0 && p < count) {
            const int n = pageOffset + p + 1;
            if (extract ? ExtractPictures(parser, p, n) : RenderPage(parser, p, n, scale, item))
                ++done;
        }
        Report(callbacks, ctx, index, static_cast<int>(j * step) + basePercent);
    }

    if (done == 0) {
        DeleteFiles(GlobalEnum::tmppath + L"Files/*", false);
        return result;
    }
    // An empty ImageFiles (pages without pictures) is no failure.
    CopyFiles(GlobalEnum::tmppath + L"ImageFiles/*", folder + L"/", true);
    result.status = ExportStatus::Done;
    result.path = folder;
    return result;
}
