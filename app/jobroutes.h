// The job thread's own routes for the output formats the engine does not
// write: PDF (per file, merged, or with page edges cut) and SWF. Each runs on
// the job thread, reports with the job's message codes, writes the whole
// output path into the item's result buffer, and names its outputs so that
// no existing file is replaced.
#pragma once

#include "app/convertjob.h"

#include <string>

// The output path of item `index` with `suffix`; empty for an index outside
// the items.
std::wstring MakeItemOutputName(const ConvertJob& job, int index, const std::wstring& suffix);
// The output path of a merge; a null extension means PDF with the
// pages-per-sheet suffix.
std::wstring MakeMergeOutputName(const ConvertJob& job, const wchar_t* extension);
// Item `index` written as a PDF to `output`; true when written.
bool ConvertItemToPdf(const std::wstring& output, int index, ConvertJob* job, const std::wstring& source);
// Item `index` converted to SWF and packed into the viewer; true when written.
bool ConvertItemToSwf(const std::wstring& output, int index, ConvertJob* job, const std::wstring& source,
                      const std::wstring& pageRange, const std::string& password);
// Cuts the given percentages off the page edges of `source` into `output`;
// true when the tool could be started.
bool CutPdfEdges(const std::wstring& source, const std::wstring& output, int left, int bottom, int right,
                 int top);
// Every item not marked failed-to-load merged into one PDF (or SWF) output.
void MergeJobItems(ConvertJob* job);
