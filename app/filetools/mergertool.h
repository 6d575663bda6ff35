// MergerTool: makes one PDF from a list of sources (PDF files, all their
// pages or a page selection, and pictures), laid out one, two or four to a
// sheet of a chosen paper size, protected with an open password, a
// permission password and permissions. Configure, append the sources, run
// StartMerge once, destroy. Progress and cancel go through two callbacks
// whose context is opaque here.
#pragma once

#include "engine/layout/callbacks.h"

#include <optional>
#include <string>
#include <vector>

using MergeProgressCallback = ProgressFunc;
using MergeCancelCallback = CancelFunc;

class MergerTool {
public:
    // Permission bits of SetPemissionPwd, the PDF library's values.
    enum Permission : int {
        PERMIT_PRINT = 4,
        PERMIT_EDIT = 8,
        PERMIT_COPY = 16,
    };

    MergerTool();

    // Stores the callbacks; they are called only when `user` is not null.
    void SetCallBack(void* user, MergeProgressCallback progress, MergeCancelCallback cancel);

    // Sheet size from the paper table (0 A5, 1 A4, 2 A3, 3 Letter, 4 Legal,
    // 5 Junior Legal, 6 Ledger, 7 Tabloid; any other code: each sheet takes
    // the size of the page that opens it). nup 0, 1, 2: one, two or four
    // pages to a sheet; another value leaves nup unchanged and gives false.
    // dir 0 auto, 1 vertical, 2 horizontal; another value counts as 0.
    bool SetLayout(int paper, int nup, int dir);
    // Sheet size in points; width or height below 1 defers the size to each
    // sheet's first page and gives false. nup and dir as above.
    bool SetLayout(int width, int height, int nup, int dir);

    void SetOutPDFPath(const wchar_t* path);
    // Kept for the caller; the merge does not use it.
    void SetProcessPath(const wchar_t* path);

    // Appends a source: `index` is the caller's number for it (progress in
    // per-source mode goes to index - 1); `pageCount` the caller's idea of
    // its page count; `pageSel` null for all pages, else a page selection
    // (see GetSelectPage) applied to the page count of the loaded document;
    // `password` its user or owner password (null or empty: none). False
    // for a negative index or a null path.
    bool AppendMergeSrc(int index, const wchar_t* path, int pageCount, const char* pageSel,
                        const char* password);
    void ClearMergeData();

    // Non-empty: the output gets this open password.
    void SetOpenPwd(const char* password);
    // Non-empty: the output gets this permission password; empty with an
    // open password set: the open password serves as both. Only with a
    // permission password are the allow flags added to the permissions.
    void SetPemissionPwd(const char* password, bool allowEdit, bool allowCopy, bool allowPrint);

    // Builds and writes the output. index >= 0 reports all progress for that
    // index (5, rising towards 95, 97, 100); -1 reports for each source's
    // row. False, with no file written, when cancelled, when no page of any
    // source could be placed, or on a PDF library error.
    bool StartMerge(int index);

    // The page count of a PDF as the PDF library loads it (no password),
    // -1 when it cannot be loaded.
    static int GetPdfInfo(const wchar_t* path);

    // Parses a page selection: "Odd", "Even", or numbers and ranges
    // separated by ",", such as "1-3,7". Pages above `count` are left out,
    // a range's end is lowered to `count`. False for a reversed range or a
    // "-" at either end of a part; the good parts are still added. Order and
    // duplicates stay as written.
    static bool GetSelectPage(const char* sel, std::vector<int>& out, int count);

    int Permissions() const { return permissions_; }

protected:
    void NotifyProcess(int index, int percent);
    bool TestCancel();

private:
    struct Source {
        int index;
        std::wstring path;
        int pageCount;
        std::optional<std::string> selection; // none: all pages
        std::optional<std::string> password;
    };

    MergeProgressCallback progress_ = nullptr;
    MergeCancelCallback cancel_ = nullptr;
    void* user_ = nullptr;
    bool openPwdSet_ = false;
    std::string openPwd_;
    bool permissionPwdSet_ = false;
    std::string permissionPwd_;
    int permissions_ = 0;
    int sheetWidth_ = 595;
    int sheetHeight_ = 842;
    int nup_ = 0;
    int dir_ = 0;
    std::wstring outputPath_;
    std::wstring processPath_;
    std::vector<Source> sources_;
};
