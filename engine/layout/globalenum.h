// The engine's process-wide folders. One convert or mergeall runs at a time
// per process, so these are plain statics without a lock.
#pragma once

#include <string>

class GlobalEnum {
public:
    // Temporary folder; always ends with a separator ("./" initially).
    static std::wstring tmppath;
    // Program data folder without a trailing separator (empty initially):
    // templates and data files are found as exepath + "/" + name.
    static std::wstring exepath;
    // Narrow forms, read by the narrow savers only.
    static std::string s_exepath;
    static std::string s_tmppath;
};

void SetExePath(const wchar_t* path);
