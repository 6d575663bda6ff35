#include "app/pdfcalls.h"

#include "parser/parser.h"

PdfProtection PdfPasswordCheck(const QString& path)
{
    try {
        Parser parser;
        return parser.Load(path.toStdWString(), true, nullptr) ? PdfProtection::NeedsPassword
                                                                 : PdfProtection::Open;
    } catch (const ParserError&) {
        return PdfProtection::Unreadable;
    }
}

int ParserPageCount(const QString& path, const std::string& password)
{
    try {
        Parser parser;
        parser.Load(path.toStdWString(), false, password.empty() ? nullptr : password.c_str());
        return parser.GetPageCount();
    } catch (const ParserError&) {
        return -1;
    }
}
