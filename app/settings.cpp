#include "app/settings.h"

namespace Karvell {

bool CSettings::Load(CSettingsStorage& storage)
{
    const bool opened = storage.BeginLoad();
    OnBeforeLoad(opened);
    bool ok = opened && Serialize(storage.ContinueOnError(), storage, false, false);
    ok = storage.EndLoad() && ok;
    OnAfterLoad(ok);
    return ok;
}

bool CSettings::Save(CSettingsStorage& storage)
{
    const bool opened = storage.BeginSave();
    OnBeforeSave(opened);
    bool ok = opened && Serialize(storage.ContinueOnError(), storage, true, false);
    ok = storage.EndSave() && ok;
    OnAfterSave(ok);
    return ok;
}

} // namespace Karvell

namespace {

// One stored value: its name, the field (text or number) and the number's
// default. Listed in the order the values are exchanged.
struct StoredValue {
    const char* name;
    QString CFSMSettings::*text;
    int CFSMSettings::*number;
    int defaultValue;
};

constexpr StoredValue Text(const char* name, QString CFSMSettings::*field)
{
    return {name, field, nullptr, 0};
}

constexpr StoredValue Number(const char* name, int CFSMSettings::*field, int defaultValue)
{
    return {name, nullptr, field, defaultValue};
}

using S = CFSMSettings;
const StoredValue kStoredValues[] = {
    Text("OutputFolder", &S::OutputFolder),
    Text("TrackFolder", &S::TrackFolder),
    Text("TmpFolder", &S::TmpFolder),
    Text("VersionFileUrl", &S::VersionFileUrl),
    Number("CustomOutputFolder", &S::CustomOutputFolder, 1),
    Text("languageID", &S::languageID),
    Number("OutputFormat", &S::OutputFormat, 0),
    Number("OutputXInOne", &S::OutputXInOne, 0),
    Number("EpubConvertKind", &S::EpubConvertKind, 1),
    Number("ImgConvertKind", &S::ImgConvertKind, 0),
    Number("EpubIgnoreImg", &S::EpubIgnoreImg, 0),
    Number("EpubIgnoreHyperlink", &S::EpubIgnoreHyperlink, 1),
    Number("HtmlIgnoreImg", &S::HtmlIgnoreImg, 0),
    Number("HtmlIgnoreHyperlink", &S::HtmlIgnoreHyperlink, 1),
    Number("WordFormat", &S::WordFormat, 1),
    Number("Word03ConvertKind", &S::Word03ConvertKind, 1),
    Number("Word07ConvertKind", &S::Word07ConvertKind, 1),
    Number("EnableOCR", &S::EnableOCR, 0),
    Number("OCRMode", &S::OCRMode, 0),
    Number("ImageHighRes", &S::ImageHighRes, 0),
    Number("PDFMerge_Folvane", &S::PDFMerge_Folvane, 1),
    Number("PDFOrientation", &S::PDFOrientation, 0),
    Number("PDFSizeAx", &S::PDFSizeAx, 3),
    Number("PDFSizeHeight", &S::PDFSizeHeight, 0),
    Number("PDFSizeWidth", &S::PDFSizeWidth, 0),
    Text("PDFOpenPwd", &S::PDFOpenPwd),
    Text("PDFPemissionPwd", &S::PDFPemissionPwd),
    Number("PDFbOpenPassword", &S::PDFbOpenPassword, 0),
    Number("PDFbPemissionPassword", &S::PDFbPemissionPassword, 0),
    Text("PDFWordOpenPwd", &S::PDFWordOpenPwd),
    Text("PDFWordPemissionPwd", &S::PDFWordPemissionPwd),
    Number("PDFbWordOpenPassword", &S::PDFbWordOpenPassword, 0),
    Number("PDFbWordPemissionPassword", &S::PDFbWordPemissionPassword, 0),
    Number("PDFbEditProtect", &S::PDFbEditProtect, 0),
    Number("PDFbCopyProtect", &S::PDFbCopyProtect, 0),
    Number("PDFbPrintProtect", &S::PDFbPrintProtect, 0),
    Number("PDFbCutEdge", &S::PDFbCutEdge, 0),
    Number("PDFCutLeft", &S::PDFCutLeft, 0),
    Number("PDFCutBottom", &S::PDFCutBottom, 0),
    Number("PDFCutRight", &S::PDFCutRight, 0),
    Number("PDFCutTop", &S::PDFCutTop, 0),
};

const QString kAuto = QStringLiteral("auto");

} // namespace

CFSMSettings::CFSMSettings()
{
    class NoStorage : public Karvell::CSettingsStorage {
        bool BeginSave() override { return false; }
        bool EndSave() override { return true; }
        bool BeginLoad() override { return false; }
        bool EndLoad() override { return true; }
        bool ExchangeString(const char*, QString&, bool) override { return false; }
        bool ExchangeInt(const char*, int&, bool) override { return false; }
    } none;
    Serialize(true, none, false, true);
}

bool CFSMSettings::Serialize(bool continueOnError, Karvell::CSettingsStorage& storage, bool saving, bool reset)
{
    if (reset) {
        for (const StoredValue& v : kStoredValues)
            if (v.number)
                this->*v.number = v.defaultValue;
        languageID = kAuto;
        return true;
    }
    bool result = true;
    for (const StoredValue& v : kStoredValues) {
        const bool ok = v.text ? storage.ExchangeString(v.name, this->*v.text, saving)
                               : storage.ExchangeInt(v.name, this->*v.number, saving);
        if (ok)
            continue;
        if (!continueOnError)
            return false;
        if (saving) {
            result = false;
        } else if (v.number) {
            this->*v.number = v.defaultValue;
        } else if (v.text == &CFSMSettings::languageID) {
            languageID = kAuto;
        }
    }
    return result;
}
