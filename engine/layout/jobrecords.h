// Job items: the desktop program's form (exportdata_w, page selection as
// text) and the engine's form (Basedata_w), with their narrow twins used by
// the job-list file "data.xml".
#pragma once

#include <string>
#include <vector>

// Word output options. The two password pointers refer to strings owned by
// the caller's settings; they stay valid for one convert/mergeall call and
// are never freed by the engine.
struct wordOp {
    bool bOpenPassword = false;
    const wchar_t* openPassword = nullptr;
    bool bPermissionPassword = false;
    const wchar_t* permissionPassword = nullptr;
};

// One engine job item. Selection, read in this order by every consumer: a
// non-empty `pages` list selects exactly those pages (entries outside the
// document select nothing); otherwise first == last == 0 selects all pages;
// otherwise the range first .. last.
struct Basedata_w {
    int type = 0;                 // 1 EPUB, 2 HTML, 3 text, 4 JPEG, 5 .doc, 6 .docx
    std::wstring source;          // source PDF, "/" as separator
    std::wstring dest;            // output folder
    std::vector<int> pages;       // 0-based, in the order given, duplicates kept
    int first = 0;
    int last = 0;                 // the caller sets the page count before conversion
    bool epubIgnoreImg = false;
    bool convertKind = false;
    bool htmlIgnoreImg = false;
    bool imgExtract = false;
    int imgHighRes = 0;
    ::wordOp wordOp;
    std::wstring exePath;         // program data folder (templates, "config.txt")
    std::wstring result;          // written by the engine: the output's path
    bool enableOCR = false;
    int ocrMode = 0;
    std::string password;         // open password of the source PDF
};

struct Basedata {
    int type = 0;
    std::string source;
    std::string dest;
    std::vector<int> pages;
    int first = 0;
    int last = 0;
    bool epubIgnoreImg = false;
    bool convertKind = false;
    bool htmlIgnoreImg = false;
    bool imgExtract = false;
    int imgHighRes = 0;
    ::wordOp wordOp;
    std::string exePath;
    std::string result;
    std::string password;
};

// The desktop program's form of a job item.
struct exportdata_w {
    std::string type;             // "1" .. "6"
    std::wstring source;
    std::wstring dest;
    std::wstring range;           // "All", "Odd", "Even", or numbers and ranges
    bool epubIgnoreImg = false;
    bool convertKind = false;
    bool htmlIgnoreImg = false;
    bool imgExtract = false;
    int imgHighRes = 0;
    std::wstring exePath;
    std::wstring result;
    ::wordOp wordOp;
    bool enableOCR = false;
    int ocrMode = 0;
    std::string password;
};

struct exportdata {
    std::string type;
    std::string source;
    std::string dest;
    std::string range;            // "All Pages", or numbers and ranges
    bool epubIgnoreImg = false;
    bool convertKind = false;
    bool htmlIgnoreImg = false;
    bool imgExtract = false;
    int imgHighRes = 0;
    ::wordOp wordOp;
    std::string exePath;
    std::string result;
    std::string password;
};

// Fills `out` from `in`. The page text is read against the page count that
// `out->last` holds on entry: "All" selects every page (first = last = 0),
// "Odd" and "Even" list those pages, "1,3-5,8" lists 0, 2, 3, 4, 7. A text
// that names no page leaves the single entry -1, which selects nothing.
// Pages are appended to what `out->pages` already holds. True for the
// keywords "All", "Odd" and "Even".
bool exportdata2basedata_w(Basedata_w* out, const exportdata_w* in);
// Narrow twin: the keyword is "All Pages"; no "Odd"/"Even"; imgHighRes is
// not copied.
bool exportdata2basedata(Basedata* out, const exportdata* in);

// Job-list file "data.xml" in the current folder (template
// "exampledata.xml"). The XML layer must be initialised around these calls.
bool ImportData(std::vector<Basedata>* items);
bool ExportData(const std::vector<exportdata>& items);
bool ImportData_w(std::vector<Basedata_w>* items);
bool ExportData_w(const std::vector<exportdata_w>& items);

// Bracket every use of the XML layer: the process-wide XML factory is made on
// first use and initialised; release also destroys it.
void RezovirorInitialize();
void RezovirorRelease();
