// Output type 4: every selected page rendered as one JPEG, or the pictures
// embedded in every selected page extracted.
#pragma once

#include "engine/layout/callbacks.h"
#include "engine/layout/jobrecords.h"

#include <functional>
#include <string>
#include <thread>

class Parser;

enum class ExportStatus { Done, Failed, Cancelled };

struct PageImageExport {
    ExportStatus status = ExportStatus::Failed;
    // The folder holding the pictures, or for a one-page document rendered
    // whole the JPEG file itself; empty unless Done.
    std::wstring path;
};

// Exports the item's selected pages of the PDF loaded in `parser`. Pictures
// are numbered n = pageOffset + page index + 1. Outside a merge, and for the
// first item of one, a new folder dest/name (or name(N)) is made; the later
// items of a merge are given that folder in `mergeFolder`. Outside a merge a
// one-page document rendered whole becomes the single file dest/name.jpg (or
// name(N).jpg). Sends the page progress values; the caller reports the
// item's state.
PageImageExport exportPageImages(Parser* parser, const std::wstring& name,
                                 const Basedata_w& item, const callback_funcs& callbacks,
                                 void* ctx, int index, float scale, int pageOffset,
                                 bool merge, const std::wstring& mergeFolder);

// Starts one rendering thread running `body`; throws std::system_error when
// it cannot. The export starts its threads through the one set here (null:
// std::thread itself), so that a test can make the N-th start fail and see
// the threads already running joined and the item finished. Not to be
// changed while an export runs.
using RenderThreadStarter = std::thread (*)(std::function<void()> body);
void SetRenderThreadStarter(RenderThreadStarter starter);
