// The job's own routes for the outputs that the engine does not write: PDF
// (each file through MergerTool, all files merged into one, or page edges
// cut by the external cutter) and SWF (each PDF converted by the external
// pdf2swf and packed into the viewer template). They run on the job thread,
// report progress and item states through the job's messages, and never
// replace an existing file with an output.
#pragma once

#include "app/convertjob.h"

#include <QString>

#include <string>

class ExternalTool;
class MergerTool;

// The output path of item `index`: the source's name (in the output folder
// when CustomOutputFolder is set, else beside the source) followed by
// `suffix`, with "(N)" before the suffix (N from 1 to 2999) when that name is
// taken. Empty when index is not an item or every candidate is taken.
QString MakeItemOutputName(const ConvertJob& job, int index, const QString& suffix);

// The output path of a merge: the merge name in the output folder (custom,
// or the first item's folder), created when missing; `extension` null gives
// ".pdf" after "_2IN1" or "_4IN1" as the pages per sheet ask. "(N)" is put
// before the extension while the name is taken.
QString MakeMergeOutputName(const ConvertJob& job, const QString* extension);

// Sets MergerTool's sheet from the settings: paper choice, custom size in
// millimetres, pages per sheet and orientation.
void ApplyPdfLayout(MergerTool& tool, const CFSMSettings& settings);

// Writes item `index`'s source (or `source` when index is not an item) to
// `output` through MergerTool with the layout and, for PDF output, the
// password options of the job's settings. The item's state goes 1, then 2 or
// 3; its result path receives the output on success.
bool ConvertItemToPdf(const QString& output, int index, ConvertJob& job, const QString& source);

// Merges every item not marked 4 into one PDF (PDF output) or into one SWF
// (SWF output, through a merged PDF in the work folder). Every merged item
// ends in state 2 when the whole output was written, else 3.
void MergeJobItems(ConvertJob& job);

// Converts `source` to SWF with pdf2swf from the tool folder and packs the
// result into the viewer template at `output`. False when the converter is
// missing or cannot start, when the job is cancelled (the converter is
// ended), or when packing fails (no half-made output is left).
bool ConvertItemToSwf(const QString& output, int index, ConvertJob& job, const QString& source,
                      const QString& pageRange, const std::string& password);

// Starts pdf2swf for one attempt (0, 1, 2: plain, then two more tolerant
// settings) with its arguments as separate strings. The page range is not
// passed on. False when it cannot start.
bool RunPdf2Swf(const QString& tool, const QString& pdf, const QString& swf, const QString& workFolder,
                int attempt, const QString& pageRange, const std::string& password,
                ExternalTool& launch);

// Cuts the given percentages off the page edges of `source` into `output`
// with the cutter from the tool folder, waiting for it while watching the
// job's cancel flag. True only when the cutter ended with status 0 and the
// output exists.
bool CutPdfEdges(ConvertJob& job, const QString& source, const QString& output, int left, int bottom,
                 int right, int top);

// Where the external programs are looked for.
QString Pdf2SwfPath();
QString EdgeCutterPath();
QString SwfViewerTemplatePath();
