#include "app/jobroutes.h"

#include "app/externaltool.h"
#include "app/filetools/mergertool.h"
#include "app/filetools/swffile.h"
#include "app/folders.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr int kMaxNameNumber = 2999;
constexpr int kSwfWaitMs = 2000;
constexpr int kSwfLastPercent = 75;

bool Exists(const QString& path)
{
    return QFileInfo::exists(path);
}

std::wstring Wide(const QString& s)
{
    return s.toStdWString();
}

QString Q(const std::wstring& s)
{
    return QString::fromStdWString(s);
}

// Text for the external tools and the PDF library: the locale's narrow
// encoding, as the user typed it.
std::string Narrow(const QString& s)
{
    return s.toLocal8Bit().toStdString();
}

bool ValidIndex(const ConvertJob& job, int index)
{
    return index >= 0 && static_cast<size_t>(index) < job.items.size();
}

void SetResult(ConvertJob& job, int index, const QString& output)
{
    if (!ValidIndex(job, index))
        return;
    const std::shared_ptr<std::wstring>& result = job.items[static_cast<size_t>(index)].result;
    if (result)
        *result = Wide(output);
}

void PostPercent(ConvertJob& job, int index, int percent)
{
    PostProgress(&job, index, job.percentMessage, percent);
}

// A copy that replaces what `to` held, written beside it first so that a
// failed copy leaves no half file.
bool CopyReplacing(const QString& from, const QString& to)
{
    const QString temp = to + QStringLiteral(".part");
    QFile::remove(temp);
    if (!QFile::copy(from, temp))
        return false;
    QFile::remove(to);
    if (!QFile::rename(temp, to)) {
        QFile::remove(temp);
        return false;
    }
    return true;
}

void SetUpMerger(MergerTool& tool, ConvertJob& job)
{
    tool.SetCallBack(&job, PostProgress, IsJobCancelled);
    const CFSMSettings& s = job.settings;
    if (s.OutputFormat == 6) {
        if (s.PDFbOpenPassword && !s.PDFOpenPwd.isEmpty())
            tool.SetOpenPwd(Narrow(s.PDFOpenPwd).c_str());
        if (s.PDFbPemissionPassword || s.PDFbOpenPassword)
            tool.SetPemissionPwd(Narrow(s.PDFPemissionPwd).c_str(), s.PDFbEditProtect != 0,
                                 s.PDFbCopyProtect != 0, s.PDFbPrintProtect != 0);
    }
    ApplyPdfLayout(tool, s);
}

} // namespace

QString Pdf2SwfPath()
{
    return GetToolFolder() + QStringLiteral("/pdf2swf");
}

QString EdgeCutterPath()
{
    return GetToolFolder() + QStringLiteral("/podofobox");
}

QString SwfViewerTemplatePath()
{
    return GetAppFolder() + QStringLiteral("/temple/pdfReader.swf");
}

std::wstring MakeItemOutputName(const ConvertJob& job, int index, const std::wstring& wideSuffix)
{
    if (!ValidIndex(job, index))
        return std::wstring();
    const QString suffix = Q(wideSuffix);
    const QString source = Q(job.items[static_cast<size_t>(index)].source);
    const CFSMSettings& s = job.settings;
    QString stem;
    if (s.CustomOutputFolder) {
        QString folder = s.OutputFolder;
        folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        stem = folder + GetBaseName(source);
    } else {
        // A source without an extension keeps its whole name as the stem, so
        // the output still lands beside it.
        stem = GetPathFolder(source) + GetBaseName(source);
    }
    const QString first = stem + suffix;
    if (!Exists(first))
        return Wide(first);
    for (int n = 1; n <= kMaxNameNumber; ++n) {
        const QString candidate = stem + QStringLiteral("(%1)").arg(n) + suffix;
        if (!Exists(candidate))
            return Wide(candidate);
    }
    // Every numbered name is taken: no name, rather than one that would
    // replace an existing file.
    return std::wstring();
}

std::wstring MakeMergeOutputName(const ConvertJob& job, const wchar_t* extension)
{
    const CFSMSettings& s = job.settings;
    QString folder = s.OutputFolder;
    if (s.CustomOutputFolder) {
        folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
    } else if (!job.items.empty()) {
        const QString first = GetPathFolder(Q(job.items.front().source));
        if (!first.isEmpty())
            folder = first;
    }
    CreateFolderTree(folder);

    QString name = s.MergeName;
    QString ext;
    if (!extension) {
        if (s.OutputXInOne == 1)
            name += QStringLiteral("_2IN1");
        else if (s.OutputXInOne == 2)
            name += QStringLiteral("_4IN1");
        ext = QStringLiteral(".pdf");
    } else {
        ext = QString::fromWCharArray(extension);
    }
    QString path = folder + name;
    if (!path.endsWith(ext, Qt::CaseInsensitive))
        path += ext;
    const QString base = path.left(path.size() - ext.size());
    for (int n = 1; Exists(path); ++n)
        path = base + QStringLiteral("(%1)").arg(n) + ext;
    return Wide(path);
}

void ApplyPdfLayout(MergerTool& tool, const CFSMSettings& s)
{
    const int nup = s.OutputXInOne;
    const int dir = s.PDFOrientation;
    const int ax = s.PDFSizeAx;
    if (ax >= 0 && ax <= 2) {
        tool.SetLayout(ax, nup, dir);
    } else if (ax == 3) {
        tool.SetLayout(100, nup, dir); // outside the paper table: each sheet as its first page
    } else if (ax >= 4 && ax <= 8) {
        tool.SetLayout(ax - 1, nup, dir);
    } else if (ax == 9) {
        // Millimetres to points, truncated.
        int width = static_cast<int>(s.PDFSizeWidth * 2.833);
        int height = static_cast<int>(s.PDFSizeHeight * 2.833);
        if (width < 1 || height < 1)
            width = height = -1;
        tool.SetLayout(width, height, nup, dir >= 0 && dir <= 2 ? dir : 0);
    } else {
        tool.SetLayout(ax, nup, dir);
    }
}

bool ConvertItemToPdf(const std::wstring& output, int index, ConvertJob* jobPointer, const std::wstring& source)
{
    ConvertJob& job = *jobPointer;
    const bool item = ValidIndex(job, index);
    if (item)
        SetItemStatus(&job, ITEM_STARTED, index);

    MergerTool tool;
    SetUpMerger(tool, job);
    tool.SetOutPDFPath(output.c_str());
    int pages = 0;
    std::string password;
    if (item) {
        pages = job.items[static_cast<size_t>(index)].pageCount;
        password = job.items[static_cast<size_t>(index)].password;
    }
    tool.AppendMergeSrc(index < 0 ? 0 : index, source.c_str(), pages, nullptr, password.c_str());

    const bool ok = !output.empty() && tool.StartMerge(index);
    if (ok)
        SetResult(job, index, Q(output));
    if (item)
        SetItemStatus(&job, ok ? ITEM_DONE : ITEM_FAILED, index);
    return ok;
}

void MergeJobItems(ConvertJob* jobPointer)
{
    ConvertJob& job = *jobPointer;
    MergerTool tool;
    SetUpMerger(tool, job);
    const bool swf = job.settings.OutputFormat == 5;
    QString output;
    if (swf) {
        const QString work = GetTempFolder();
        CreateFolderTree(work);
        output = work + QStringLiteral("/tmpmerge.pdf");
        QFile::remove(output);
    } else {
        output = Q(MakeMergeOutputName(job, nullptr));
    }
    const std::wstring out = Wide(output);
    tool.SetOutPDFPath(out.c_str());

    int last = -1;
    for (size_t i = 0; i < job.items.size(); ++i) {
        stru_ItemData& item = job.items[i];
        if (item.status == kItemLoadFailed)
            continue;
        const int position = static_cast<int>(i);
        SetItemStatus(&job, ITEM_STARTED, position);
        // Progress of each source goes to the row before its number.
        tool.AppendMergeSrc(position + 1, item.source.c_str(), item.pageCount, nullptr, item.password.c_str());
        last = position;
    }

    bool ok = last >= 0 && tool.StartMerge(-1);
    QString written = output;
    if (ok && swf) {
        written = Q(MakeMergeOutputName(job, L".swf"));
        // The SWF step decides the outcome: a merged PDF that could not be
        // made into an SWF is no output.
        ok = ConvertItemToSwf(Wide(written), last, &job, Wide(output), L"All", std::string());
        QFile::remove(output);
    }
    for (size_t i = 0; i < job.items.size(); ++i) {
        if (job.items[i].status == kItemLoadFailed)
            continue;
        if (ok)
            SetResult(job, static_cast<int>(i), written);
        SetItemStatus(&job, ok ? ITEM_DONE : ITEM_FAILED, static_cast<int>(i));
    }
}

bool RunPdf2Swf(const std::wstring& tool, const std::wstring& pdf, const std::wstring& swf,
                const std::wstring& workFolder, int attempt, const std::wstring& /*pageRange*/,
                const std::string& password, ExternalTool& launch)
{
    QStringList args{Q(pdf), QStringLiteral("-o"), Q(swf)};
    if (!password.empty())
        args << QStringLiteral("-P") << QString::fromUtf8(password.c_str());
    if (attempt == 1)
        args << QStringLiteral("-O") << QStringLiteral("1");
    else if (attempt == 2)
        args << QStringLiteral("-O") << QStringLiteral("2");
    args << QStringLiteral("-T") << QStringLiteral("9") << QStringLiteral("-f");
    return launch.Start(Q(tool), args, Q(workFolder));
}

bool ConvertItemToSwf(const std::wstring& wideOutput, int index, ConvertJob* jobPointer,
                      const std::wstring& wideSource, const std::wstring& widePageRange,
                      const std::string& password)
{
    ConvertJob& job = *jobPointer;
    const QString output = Q(wideOutput);
    const QString source = Q(wideSource);
    if (output.isEmpty())
        return false;
    const QString tool = Pdf2SwfPath();
    if (!QFileInfo(tool).isExecutable()) {
        qWarning().noquote() << "SWF output needs the converter" << tool
                             << "which is not installed: the item fails.";
        return false;
    }
    const QString work = GetTempFolder();
    CreateFolderTree(work);
    const QString tmpPdf = work + QStringLiteral("/tmp.pdf");
    const QString tmpSwf = work + QStringLiteral("/tmp.swf");
    QFile::remove(tmpPdf);
    QFile::remove(tmpSwf);

    QString range = Q(widePageRange);
    if (range == u"Odd" || range == u"Even") {
        if (!ConvertItemToPdf(Wide(tmpPdf), index, &job, wideSource))
            return false;
        range = QStringLiteral("All");
    } else if (!CopyReplacing(source, tmpPdf)) {
        return false;
    }
    PostPercent(job, index, 5);

    const auto cancelled = [&job] { return IsJobCancelled(&job); };
    int percent = 6;
    for (int attempt = 0; attempt < 3; ++attempt) {
        ExternalTool run;
        if (!RunPdf2Swf(Wide(tool), Wide(tmpPdf), Wide(tmpSwf), Wide(GetToolFolder()), attempt, Wide(range),
                        password, run))
            return false;
        for (;;) {
            const ExternalTool::Wait w = run.WaitFor(kSwfWaitMs, cancelled);
            if (w == ExternalTool::Wait::Cancelled)
                return false;
            if (w == ExternalTool::Wait::Exited)
                break;
            if (percent < kSwfLastPercent)
                PostPercent(job, index, ++percent);
        }
        if (Exists(tmpSwf))
            break;
    }
    PostPercent(job, index, kSwfLastPercent);

    if (!Exists(tmpSwf))
        return false;
    if (!CopyReplacing(SwfViewerTemplatePath(), output))
        return false;
    PostPercent(job, index, 80);
    const std::wstring swfW = Wide(tmpSwf);
    const std::wstring outW = Wide(output);
    if (!SWFEmbedBinaryData(swfW.c_str(), outW.c_str())) {
        QFile::remove(output);
        return false;
    }
    PostPercent(job, index, 90);
    const SWFFile converted(swfW);
    if (converted.ok())
        SWFResizeFrame(outW.c_str(), converted.Header().frameWidth / 20 + 20,
                       converted.Header().frameHeight / 20 + 28);
    SetResult(job, index, output);
    return true;
}

bool CutPdfEdges(ConvertJob* job, const std::wstring& wideSource, const std::wstring& wideOutput, int left,
                 int bottom, int right, int top)
{
    const QString source = Q(wideSource);
    const QString output = Q(wideOutput);
    if (output.isEmpty())
        return false;
    const QString tool = EdgeCutterPath();
    ExternalTool run;
    const QStringList args{source,
                           output,
                           QStringLiteral("media"),
                           QString::number(left),
                           QString::number(bottom),
                           QString::number(right),
                           QString::number(top)};
    if (!run.Start(tool, args)) {
        qWarning().noquote() << "The page-edge cutter" << tool << "could not be started.";
        return false;
    }
    const ExternalTool::Wait w = run.WaitFor(-1, [job] { return IsJobCancelled(job); });
    return w == ExternalTool::Wait::Exited && run.Succeeded() && Exists(output);
}
