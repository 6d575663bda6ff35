// One conversion batch: the listed files' item records, the job record that
// the job thread reads, and the thread procedures. The job thread talks to
// the main window only by posting window messages whose codes the job record
// carries; the window stops it only through the job's cancel flag, which the
// engine's and the PDF tool's cancel callbacks read.
#pragma once

#include "app/settings.h"
#include "engine/layout/callbacks.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// The messages a job posts to the main window (wParam item index, lParam
// value): the engine's WM_JOB_FINISHED (1224), WM_PROGRESS_PERCENT (1226)
// and WM_PROGRESS_STATE (1227), and these two, which the job record carries
// but no route posts.
constexpr unsigned WM_JOB_FINISHED_2 = 1225;
constexpr unsigned WM_ITEM_LOAD_FAILED = 1228;

// Item states.
enum ItemStatus : int {
    kItemWaiting = 0,
    kItemRunning = 1,
    kItemDone = 2,
    kItemFailed = 3,
    kItemLoadFailed = 4,   // every route skips it
};

// One listed file. The list keeps one per row; a job takes copies, which
// share the row's result buffer.
struct stru_ItemData {
    int rowNumber = 0;           // 1-based; the list row + 1 once a job starts
    std::wstring source;         // the whole path of the PDF file
    // The output path that a job writes; shared by the list's record and
    // every job copy, so it lives as long as the longest of them.
    std::shared_ptr<std::wstring> result = std::make_shared<std::wstring>();
    std::uint64_t fileSize = 0;  // bytes, when the file was added
    int pageCount = 0;
    std::wstring pageRange;      // pages to convert; empty: the whole document
    int status = kItemWaiting;
    bool needsPassword = false;
    std::string password;        // the user's open password (UTF-8); empty: none
};

// One batch. The main window fills it before the job thread starts and frees
// it only after that thread has ended; the job thread writes item states and
// result paths and never frees it.
struct ConvertJob {
    // The main window; it outlives the job thread.
    QObject* window = nullptr;
    unsigned finishedMessage = WM_JOB_FINISHED;
    unsigned finished2Message = WM_JOB_FINISHED_2;
    unsigned percentMessage = WM_PROGRESS_PERCENT;
    unsigned stateMessage = WM_PROGRESS_STATE;
    unsigned loadFailedMessage = WM_ITEM_LOAD_FAILED;
    // Set by the main window to stop the job; once set it stays set.
    std::atomic<bool> cancel{false};
    // Cutting page edges is confirmed by the user on the user-interface
    // thread before the job starts (a job thread owns no window).
    bool cutEdgeConfirmed = false;
    std::vector<stru_ItemData> items;
    // The settings as they were when the job started; MergeName names a
    // merged output.
    CFSMSettings settings;
};

// The progress callback handed to the engine and to the PDF tool: posts
// `message` to the job's window with wParam `index` and lParam `value`.
// Nothing for a null context.
void PostProgress(void* context, int index, unsigned message, int value);
// The cancel callback: true when the context is a job whose cancel flag is
// set.
bool IsJobCancelled(void* context);
// Stores `status` in item `index` and posts the state message; nothing for an
// index outside the items.
void SetItemStatus(ConvertJob* job, int status, int index);

// The engine route for every item: `typeCode` is the engine's output type
// ("1" EPUB, "2" HTML, "3" text, "4" images, "5" .doc, "6" .docx). Calls
// mergeall with the merge flag set, else convert; copies each item's result
// path (whole) into the item's result buffer.
void RunEngineJob(ConvertJob* job, const char* typeCode);

// The whole batch for the chosen output format; always ends by posting the
// finished message once.
void ConvertJobThread(ConvertJob* job);
// PDF or SWF output with merging on: all items merged into one output; ends
// by posting the finished message.
void MergeJobThread(ConvertJob* job);

// The engine's output type for an output format (1 EPUB, 2 text, 3 images,
// 4 HTML, 7 Word); null for the formats the program writes itself and for
// unknown ones.
const char* EngineTypeForFormat(int outputFormat);

// The job thread of one batch. Start runs the procedure on a thread of its
// own; Stop sets the job's cancel flag and waits for the thread to end, so
// that nothing the thread uses is freed under it.
class JobThread {
public:
    JobThread() = default;
    JobThread(const JobThread&) = delete;
    JobThread& operator=(const JobThread&) = delete;
    ~JobThread() { Stop(); }

    // Waits for an earlier thread first.
    void Start(ConvertJob* job, void (*procedure)(ConvertJob*));
    // Waits for the thread without cancelling it.
    void Join();
    void Stop();
    bool Joinable() const { return thread_.joinable(); }

private:
    ConvertJob* job_ = nullptr;
    std::thread thread_;
};
