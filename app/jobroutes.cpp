// Placeholder routes until the PDF and SWF routes are written: every route
// fails its item, and a merge marks every item failed.
#include "app/jobroutes.h"

std::wstring MakeItemOutputName(const ConvertJob&, int, const std::wstring&)
{
    return std::wstring();
}

std::wstring MakeMergeOutputName(const ConvertJob&, const wchar_t*)
{
    return std::wstring();
}

bool ConvertItemToPdf(const std::wstring&, int, ConvertJob*, const std::wstring&)
{
    return false;
}

bool ConvertItemToSwf(const std::wstring&, int, ConvertJob*, const std::wstring&, const std::wstring&,
                      const std::string&)
{
    return false;
}

bool CutPdfEdges(const std::wstring&, const std::wstring&, int, int, int, int)
{
    return false;
}

void MergeJobItems(ConvertJob* job)
{
    for (std::size_t i = 0; i < job->items.size(); ++i)
        if (job->items[i].status != kItemLoadFailed)
            SetItemStatus(job, kItemFailed, static_cast<int>(i));
}
