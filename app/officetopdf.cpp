// The entry points are declared weak here, and only here, so that an engine
// without them leaves null addresses that the wrappers test.
#include "app/officetopdf.h"

unsigned word03topdf(const wchar_t* src, const wchar_t* dst, const wchar_t* ignored) __attribute__((weak));
unsigned office07topdf(char* pkgPath, const wchar_t* outPdf, char* workDir, int kind) __attribute__((weak));
void excel03topdf(const wchar_t* src, const wchar_t* ignored, const wchar_t* third) __attribute__((weak));
void ppt03topdf(const wchar_t* src, const wchar_t* ignored, const wchar_t* third) __attribute__((weak));

bool EngineReadsOffice07()
{
    return office07topdf != nullptr;
}

std::optional<unsigned> EngineWord03ToPdf(const wchar_t* src, const wchar_t* dst)
{
    if (!word03topdf)
        return std::nullopt;
    return word03topdf(src, dst, L"");
}

std::optional<unsigned> EngineOffice07ToPdf(char* pkgPath, const wchar_t* outPdf, char* workDir, int kind)
{
    if (!office07topdf)
        return std::nullopt;
    return office07topdf(pkgPath, outPdf, workDir, kind);
}

bool EngineExcel03Pictures(const wchar_t* src, const wchar_t* dst, const wchar_t* pictureFolder)
{
    if (!excel03topdf)
        return false;
    excel03topdf(src, dst, pictureFolder);
    return true;
}

bool EnginePpt03Pictures(const wchar_t* src, const wchar_t* dst, const wchar_t* pictureFolder)
{
    if (!ppt03topdf)
        return false;
    ppt03topdf(src, dst, pictureFolder);
    return true;
}
