// The job thread's own routes for the output formats the engine does not
// write: PDF (each file through MergerTool, all files merged into one, or
// page edges cut by the external cutter) and SWF (each PDF converted by the
// external pdf2swf and packed into the viewer template). Each runs on the
// job thread, reports with the job's message codes, writes the whole output
// path into the item's result buffer, and names its outputs so that no
// existing file is replaced. External programs get their arguments as
// separate strings, never through a shell, and are ended when the job is
// cancelled.
#pragma once

#include "app/convertjob.h"

#include <string>

class ExternalTool;
class MergerTool;

// The output path of item `index`: the source's name (in the output folder
// when CustomOutputFolder is set, else beside the source) followed by
// `suffix`, with "(N)" before the suffix (N from 1 to 2999) when that name
// is taken. A source without an extension keeps its whole name. Empty when
// index is not an item or every candidate is taken.
std::wstring MakeItemOutputName(const ConvertJob& job, int index, const std::wstring& suffix);

// The output path of a merge: the merge name in the output folder (custom,
// or the first item's folder), created when missing; a null extension gives
// ".pdf" after "_2IN1" or "_4IN1" as the pages per sheet ask. "(N)" is put
// before the extension while the name is taken.
std::wstring MakeMergeOutputName(const ConvertJob& job, const wchar_t* extension);

// Writes `source` to `output` through MergerTool with the layout and, for
// PDF output, the password options of the job's settings. When `index` is
// an item its state goes 1, then 2 or 3, and its result receives the
// output on success. False, with no output, on failure or an empty output.
bool ConvertItemToPdf(const std::wstring& output, int index, ConvertJob* job, const std::wstring& source);

// Converts `source` to SWF with pdf2swf from the tool folder and packs the
// result into the viewer template at `output`. False when the converter is
// missing (logged) or cannot start, when the job is cancelled (the
// converter is ended), or when packing fails (no half-made output is left).
bool ConvertItemToSwf(const std::wstring& output, int index, ConvertJob* job, const std::wstring& source,
                      const std::wstring& pageRange, const std::string& password);

// Cuts the given percentages off the page edges of `source` into `output`
// with the cutter from the tool folder, waiting for it while watching the
// job's cancel flag (a cancel ends it). True only when the cutter ended
// with status 0 and the output exists; the cutter never replaces a file.
bool CutPdfEdges(ConvertJob* job, const std::wstring& source, const std::wstring& output, int left, int bottom,
                 int right, int top);

// Every item not marked failed-to-load merged into one PDF, or, for SWF
// output, into one SWF through a merged PDF in the work folder. Every merged
// item ends in state 2 when the whole output was written (for SWF: the SWF
// step too), else 3.
void MergeJobItems(ConvertJob* job);

// Starts pdf2swf for one attempt (0, 1, 2: plain, then two more tolerant
// settings). The page range is not passed on. False when it cannot start.
bool RunPdf2Swf(const std::wstring& tool, const std::wstring& pdf, const std::wstring& swf,
                const std::wstring& workFolder, int attempt, const std::wstring& pageRange,
                const std::string& password, ExternalTool& launch);

// Sets MergerTool's sheet from the settings: paper choice, custom size in
// millimetres, pages per sheet and orientation.
void ApplyPdfLayout(MergerTool& tool, const CFSMSettings& settings);

// Where the external programs and the viewer template are looked for.
QString Pdf2SwfPath();
QString EdgeCutterPath();
QString SwfViewerTemplatePath();
