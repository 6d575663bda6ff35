// The desktop program's settings record and the small serialization library
// under it: a record exchanges named, typed values with an abstract storage,
// loading or saving, and falls back to its defaults value by value.
#pragma once

#include <QString>

namespace Karvell {

// Where a record's values are kept. A storage is opened for loading or for
// saving, exchanges values by name, and is closed again.
class CSettingsStorage {
public:
    virtual ~CSettingsStorage() = default;

    // Whether a record goes on after one value fails.
    virtual bool ContinueOnError() { return true; }
    virtual bool BeginSave() = 0;
    virtual bool EndSave() = 0;
    virtual bool BeginLoad() = 0;
    virtual bool EndLoad() = 0;
    // Saving stores the value; loading sets it only when the storage holds a
    // value of that name and kind, and tells whether it did.
    virtual bool ExchangeString(const char* name, QString& text, bool saving) = 0;
    virtual bool ExchangeInt(const char* name, int& value, bool saving) = 0;
};

class CSettings {
public:
    virtual ~CSettings() = default;

    virtual void OnBeforeSave(bool /*opened*/) {}
    virtual void OnAfterSave(bool /*ok*/) {}
    virtual void OnBeforeLoad(bool /*opened*/) {}
    virtual void OnAfterLoad(bool /*ok*/) {}
    // Exchanges every value with the storage; with `reset` sets the defaults
    // instead and leaves the storage alone.
    virtual bool Serialize(bool continueOnError, CSettingsStorage& storage, bool saving, bool reset) = 0;
    // False when the storage cannot be opened (the record keeps what it
    // held) or a value failed (see Serialize).
    virtual bool Load(CSettingsStorage& storage);
    virtual bool Save(CSettingsStorage& storage);
};

} // namespace Karvell

// Every user choice of the desktop program. Text values are QStrings, all
// others 32-bit integers (flags 0 or 1). A new record holds the defaults.
class CFSMSettings : public Karvell::CSettings {
public:
    CFSMSettings();

    // Loading with continueOnError: a value that is missing or not of its
    // kind takes its default (a text other than languageID keeps what it
    // held) and the others still load. Saving writes every value and is
    // false when one could not be written.
    bool Serialize(bool continueOnError, Karvell::CSettingsStorage& storage, bool saving, bool reset) override;

    QString OutputFolder;  // outputs go here when CustomOutputFolder is 1
    QString TrackFolder;   // where the add-files dialog opens
    QString languageID;    // language code, or "auto"
    int CustomOutputFolder = 0;
    int OutputFormat = 0;  // 1 EPUB, 2 text, 3 images, 4 HTML, 5 SWF, 6 PDF, 7 Word
    int EpubConvertKind = 0;
    int EpubIgnoreImg = 0;
    int EpubIgnoreHyperlink = 0;
    int ImgConvertKind = 0;
    int HtmlIgnoreImg = 0;
    int HtmlIgnoreHyperlink = 0;
    int WordFormat = 0;
    int Word03ConvertKind = 0;
    int Word07ConvertKind = 0;
    int ImageHighRes = 0;
    int PDFMerge_Folvane = 0;
    QString MergeName;     // name of a merged output; set when a job starts, not stored
    int PDFSizeHeight = 0; // custom sheet size in millimetres
    int PDFSizeWidth = 0;
    int PDFSizeAx = 0;     // paper size choice
    int OutputXInOne = 0;  // pages per sheet: 0 one, 1 two, 2 four
    int PDFOrientation = 0;
    int PDFbOpenPassword = 0;
    QString PDFOpenPwd;
    int PDFbPemissionPassword = 0;
    QString PDFPemissionPwd;
    int PDFbWordOpenPassword = 0;
    QString PDFWordOpenPwd;
    int PDFbWordPemissionPassword = 0;
    QString PDFWordPemissionPwd;
    int PDFbEditProtect = 0;
    int PDFbCopyProtect = 0;
    int PDFbPrintProtect = 0;
    int EnableOCR = 0;
    int OCRMode = 0;
    int PDFbCutEdge = 0;
    int PDFCutLeft = 0;    // cut percentages of each edge
    int PDFCutBottom = 0;
    int PDFCutRight = 0;
    int PDFCutTop = 0;
    QString TmpFolder;     // temporary folder of jobs
    QString VersionFileUrl; // address of the update check's version file; empty: no check
};

// A job's private copy of the record: every field.
inline void CopySettings(const CFSMSettings& from, CFSMSettings& to)
{
    to = from;
}
