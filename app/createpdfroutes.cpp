#include "app/createpdfroutes.h"

#include "app/folders.h"
#include "engine/topdf/topdf.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <vector>

namespace {

bool EndsWithNoCase(const QString& path, const char* ext)
{
    return path.endsWith(QLatin1String(ext), Qt::CaseInsensitive);
}

// Empties the folder, or makes it; false when it cannot be made.
bool FreshFolder(const QString& path)
{
    QDir dir(path);
    if (dir.exists())
        dir.removeRecursively();
    return QDir().mkpath(path);
}

// The pictures the 97-2003 workbook and presentation readers deliver become
// the PDF's pages; no picture, no PDF.
using PictureReader = void (*)(const wchar_t* src, const wchar_t* ignored, const wchar_t* folder);

unsigned PicturesToPdf(PictureReader reader, const QString& source, const QString& output)
{
    const QString folder = GetTempFolder() + QStringLiteral("/pictures");
    if (!FreshFolder(folder))
        return 0;
    const std::wstring src = source.toStdWString();
    const std::wstring out = output.toStdWString();
    const std::wstring pics = folder.toStdWString();
    reader(src.c_str(), out.c_str(), pics.c_str());
    const unsigned size = ImagesToPdf(folder, output);
    QDir(folder).removeRecursively();
    return size;
}

} // namespace

unsigned ImagesToPdf(const QString& folder, const QString& output)
{
    QDir dir(folder);
    if (folder.isEmpty() || !dir.exists() || !dir.isReadable())
        return 0;
    QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    // Numbered pictures in number order: "p-2" before "p-10".
    QCollator order;
    order.setNumericMode(true);
    std::sort(entries.begin(), entries.end(),
              [&order](const QFileInfo& a, const QFileInfo& b) { return order.compare(a.fileName(), b.fileName()) < 0; });
    const std::wstring out = output.toStdWString();
    void* handle = nullptr;
    initpdf(out.c_str(), &handle, 8.5, 11, 0, 0, 3);
    if (!handle)
        return 0;
    int placed = 0;
    for (const QFileInfo& entry : entries) {
        QFile file(entry.filePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        file.close();
        if (bytes.isEmpty())
            continue;
        if (jpgtopdf(bytes.constData(), static_cast<unsigned>(bytes.size()), handle))
            ++placed;
    }
    const unsigned size = endpdf(handle);
    if (placed == 0) {
        // A PDF without a picture is not what was asked for.
        if (size > 0)
            QFile::remove(output);
        return 0;
    }
    return size;
}

unsigned Office07ToPdf(const QString& output, QString& scratch, const QString& source, int kind)
{
    scratch = GetTempFolder() + QStringLiteral("/temp");
    if (!FreshFolder(scratch))
        return 0;
    const QString copy = scratch + QStringLiteral("/tempfile");
    if (!QFile::copy(source, copy))
        return 0;
    const QByteArray package = QFile::encodeName(copy);
    // The engine may add a separator to the folder in place: room for it.
    const QByteArray work = QFile::encodeName(scratch + QLatin1Char('/'));
    std::vector<char> workBuffer(work.constData(), work.constData() + work.size());
    workBuffer.resize(workBuffer.size() + 2, '\0');
    std::vector<char> packageBuffer(package.constData(), package.constData() + package.size() + 1);
    const std::wstring out = output.toStdWString();
    return office07topdf(packageBuffer.data(), out.c_str(), workBuffer.data(), kind);
}

unsigned DocToPdf(const QString& source, const QString& folder, const QString& output)
{
    if (ChooseOfficeRoute(1, source) == OfficeRoute::Word03) {
        const std::wstring src = source.toStdWString();
        const std::wstring out = output.toStdWString();
        return word03topdf(src.c_str(), out.c_str(), nullptr);
    }
    QString scratch = folder;
    return Office07ToPdf(output, scratch, source, 0);
}

unsigned XlsToPdf(const QString& source, const QString& folder, const QString& output)
{
    if (ChooseOfficeRoute(2, source) == OfficeRoute::Excel03)
        return PicturesToPdf(excel03topdf, source, output);
    QString scratch = folder;
    return Office07ToPdf(output, scratch, source, 1);
}

unsigned PptToPdf(const QString& source, const QString& folder, const QString& output)
{
    if (ChooseOfficeRoute(3, source) == OfficeRoute::Ppt03)
        return PicturesToPdf(ppt03topdf, source, output);
    QString scratch = folder;
    return Office07ToPdf(output, scratch, source, 2);
}

OfficeRoute ChooseOfficeRoute(int kind, const QString& source)
{
    switch (kind) {
    case 1:
        return EndsWithNoCase(source, ".doc") ? OfficeRoute::Word03 : OfficeRoute::Office07;
    case 2:
        return EndsWithNoCase(source, ".xls") ? OfficeRoute::Excel03 : OfficeRoute::Office07;
    case 3:
        return EndsWithNoCase(source, ".ppt") ? OfficeRoute::Ppt03 : OfficeRoute::Office07;
    default:
        return OfficeRoute::None;
    }
}
