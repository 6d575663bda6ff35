#include "app/convertjob.h"

#include "app/controls/windowmessage.h"
#include "app/folders.h"
#include "app/jobroutes.h"
#include "engine/layout/entry.h"

#include <cstddef>

namespace {

std::wstring Slashed(const QString& path)
{
    QString s = path;
    s.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return s.toStdWString();
}

std::wstring Slashed(const std::wstring& path)
{
    std::wstring s = path;
    for (wchar_t& c : s)
        if (c == L'\\')
            c = L'/';
    return s;
}

// The temporary folder of the engine: TmpFolder, else the work folder
// (created); "/" separators and a trailing "/", as the engine expects.
std::wstring EngineTempFolder(const CFSMSettings& settings)
{
    QString folder = settings.TmpFolder;
    if (folder.isEmpty())
        folder = GetTempFolder();
    CreateFolderTree(folder);
    std::wstring out = Slashed(folder);
    if (out.empty() || out.back() != L'/')
        out += L'/';
    return out;
}

int Index(std::size_t i)
{
    return static_cast<int>(i);
}

// Formats 5 (SWF) and 6 (PDF without cut edges): one route call per item.
template <typename Route>
void RunItemLoop(ConvertJob* job, Route route)
{
    for (std::size_t i = 0; i < job->items.size(); ++i) {
        if (job->items[i].status == kItemLoadFailed)
            continue;
        SetItemStatus(job, kItemRunning, Index(i));
        const bool ok = route(Index(i));
        SetItemStatus(job, ok ? kItemDone : kItemFailed, Index(i));
        if (IsJobCancelled(job))
            break;
    }
}

void RunSwfLoop(ConvertJob* job)
{
    RunItemLoop(job, [job](int i) {
        const stru_ItemData& item = job->items[static_cast<std::size_t>(i)];
        const std::wstring output = MakeItemOutputName(*job, i, L".swf");
        return ConvertItemToSwf(output, i, job, item.source, item.pageRange, item.password);
    });
}

void RunPdfLoop(ConvertJob* job)
{
    const int nup = job->settings.OutputXInOne;
    const std::wstring suffix = nup == 1 ? L"_2IN1.pdf" : nup == 2 ? L"_4IN1.pdf" : L"_to.pdf";
    RunItemLoop(job, [job, &suffix](int i) {
        const std::wstring output = MakeItemOutputName(*job, i, suffix);
        return ConvertItemToPdf(output, i, job, job->items[static_cast<std::size_t>(i)].source);
    });
}

void RunCutEdgeLoop(ConvertJob* job)
{
    const CFSMSettings& s = job->settings;
    RunItemLoop(job, [job, &s](int i) {
        // The row shows its start again just before the tool runs.
        SetItemStatus(job, kItemRunning, i);
        // The name is tested with its extension, so an existing output is
        // never chosen.
        const std::wstring output = MakeItemOutputName(*job, i, L"_CutEdge.pdf");
        stru_ItemData& item = job->items[static_cast<std::size_t>(i)];
        const bool ok = CutPdfEdges(job, item.source, output, s.PDFCutLeft, s.PDFCutBottom, s.PDFCutRight,
                                    s.PDFCutTop);
        if (ok)
            *item.result = output;
        return ok;
    });
}

} // namespace

void PostProgress(void* context, int index, unsigned message, int value)
{
    if (!context)
        return;
    const auto* job = static_cast<const ConvertJob*>(context);
    PostWindowMessage(job->window, message, static_cast<quintptr>(index), value);
}

bool IsJobCancelled(void* context)
{
    return context && static_cast<const ConvertJob*>(context)->cancel.load();
}

void SetItemStatus(ConvertJob* job, int status, int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= job->items.size())
        return;
    job->items[static_cast<std::size_t>(index)].status = status;
    PostWindowMessage(job->window, job->stateMessage, static_cast<quintptr>(index), status);
}

const char* EngineTypeForFormat(int outputFormat)
{
    switch (outputFormat) {
    case 1: return "1";   // EPUB
    case 2: return "3";   // text
    case 3: return "4";   // images
    case 4: return "2";   // HTML
    case 7: return "6";   // Word 2007
    default: return nullptr;
    }
}

void RunEngineJob(ConvertJob* job, const char* typeCode)
{
    const CFSMSettings& s = job->settings;
    const std::string type = typeCode;
    const std::wstring programFolder = Slashed(GetAppFolder());
    // The Word passwords stay alive for the whole engine call.
    const std::wstring wordOpenPassword = s.PDFWordOpenPwd.toStdWString();
    const std::wstring wordPermissionPassword = s.PDFWordPemissionPwd.toStdWString();

    std::vector<Basedata_w> items;
    items.reserve(job->items.size());
    for (const stru_ItemData& item : job->items) {
        exportdata_w in;
        in.type = type;
        in.source = Slashed(item.source);
        if (s.CustomOutputFolder) {
            in.dest = Slashed(s.OutputFolder);
        } else {
            const std::size_t slash = in.source.rfind(L'/');
            in.dest = slash == std::wstring::npos ? std::wstring() : in.source.substr(0, slash);
        }
        in.range = item.pageRange.empty() ? std::wstring(L"All") : item.pageRange;
        if (type == "1") {
            in.epubIgnoreImg = s.EpubIgnoreImg != 0;
            in.convertKind = s.EpubConvertKind != 1;
        } else if (type == "5") {
            in.convertKind = s.Word03ConvertKind == 0;
        } else if (type == "6") {
            in.convertKind = s.Word07ConvertKind == 0;
        } else if (type == "2") {
            in.htmlIgnoreImg = s.HtmlIgnoreImg != 0;
        } else if (type == "4") {
            in.imgExtract = s.ImgConvertKind != 0;
            in.imgHighRes = s.ImageHighRes;
        }
        in.exePath = programFolder;
        if (type == "5" || type == "6") {
            in.wordOp.bOpenPassword = s.PDFbWordOpenPassword != 0;
            in.wordOp.openPassword = wordOpenPassword.c_str();
            in.wordOp.bPermissionPassword = s.PDFbWordPemissionPassword != 0;
            in.wordOp.permissionPassword = wordPermissionPassword.c_str();
        }
        in.enableOCR = s.EnableOCR != 0;
        in.ocrMode = s.OCRMode;
        in.password = item.password;

        Basedata_w out;
        out.last = item.pageCount;
        exportdata2basedata_w(&out, &in);
        items.push_back(std::move(out));
    }

    const std::wstring tempFolder = EngineTempFolder(s);
    callback_funcs callbacks;
    callbacks.progress = PostProgress;
    callbacks.cancel = IsJobCancelled;
    if (s.PDFMerge_Folvane) {
        std::wstring name = s.MergeName.toStdWString();
        mergeall(items, tempFolder, job, callbacks, name);
    } else {
        convert(items, tempFolder, job, callbacks);
    }
    for (std::size_t i = 0; i < items.size() && i < job->items.size(); ++i)
        *job->items[i].result = items[i].result;
}

void ConvertJobThread(ConvertJob* job)
{
    const CFSMSettings& s = job->settings;
    if (const char* type = EngineTypeForFormat(s.OutputFormat)) {
        RunEngineJob(job, type);
    } else if (s.OutputFormat == 5) {
        RunSwfLoop(job);
    } else if (s.OutputFormat == 6) {
        if (!s.PDFbCutEdge)
            RunPdfLoop(job);
        else if (job->cutEdgeConfirmed)
            RunCutEdgeLoop(job);
    }
    PostWindowMessage(job->window, job->finishedMessage, 0, 0);
}

void MergeJobThread(ConvertJob* job)
{
    MergeJobItems(job);
    PostWindowMessage(job->window, job->finishedMessage, 0, 0);
}

void JobThread::Start(ConvertJob* job, void (*procedure)(ConvertJob*))
{
    Join();
    job_ = job;
    thread_ = std::thread(procedure, job);
}

void JobThread::Join()
{
    if (thread_.joinable())
        thread_.join();
    job_ = nullptr;
}

void JobThread::Stop()
{
    if (job_)
        job_->cancel.store(true);
    Join();
}
