#include "app/startup.h"

#include "app/controls/langstring.h"
#include "app/filetools/pdflib.h"
#include "app/folders.h"
#include "app/language.h"
#include "app/pdfrezovirordlg.h"
#include "app/settingsstorage.h"
#include "parser/parser.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace {

// The folders of the user (documents, data, configuration) all hang from
// HOME; a process started without it still finds the user's own.
void EnsureHome()
{
    const char* home = std::getenv("HOME");
    if (home && *home)
        return;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir)
        ::setenv("HOME", pw->pw_dir, 1);
}

} // namespace

bool HoldsRecognitionData(const QString& folder)
{
    return QFileInfo::exists(folder + QStringLiteral("/eng.traineddata")) ||
           QFileInfo::exists(folder + QStringLiteral("/tessdata/eng.traineddata"));
}

int RunApplication(int argc, char** argv)
{
    EnsureHome();
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Brontix"));
    QApplication::setApplicationName(QStringLiteral("Folvane RAD Ozizedori"));

    const QString program = GetAppFolder();
    const QString tools = GetToolFolder();
    const QString work = GetTempFolder();
    CreateFolderTree(work);
    // The system's own language data serves otherwise.
    if (HoldsRecognitionData(program))
        ::setenv("TESSDATA_PREFIX", QFile::encodeName(program).constData(), 1);
    Parser::InitParserStaticParam(program.toStdWString(), tools.toStdWString(), work.toStdWString());
    // The PDF library's encryption (RC4 among it) needs OpenSSL's providers.
    filetools::SetUpPdfLibrary();
    // Every window, the controls' too, fetches its texts from the language
    // files.
    SetLangStringLookup(LookupLangString);

    int rc = 0;
    {
        CSettingsStorageIni storage(CSettingsStorageIni::DefaultPath());
        CPdfRezovirorDlg frame(storage);
        SetMainWindow(&frame);
        frame.show();
        rc = app.exec();
        SetMainWindow(nullptr);
    }
    Parser::ReleaseAllTextConvertMap();
    return rc;
}
