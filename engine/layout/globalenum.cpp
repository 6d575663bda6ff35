#include "engine/layout/globalenum.h"

std::wstring GlobalEnum::tmppath = L"./";
std::wstring GlobalEnum::exepath;
std::string GlobalEnum::s_exepath;
std::string GlobalEnum::s_tmppath = "./";

void SetExePath(const wchar_t* path)
{
    GlobalEnum::exepath = path ? path : L"";
}
