#include "app/programsettings.h"

#include "app/folders.h"

bool LoadProgramSettings(CFSMSettings& settings, Karvell::CSettingsStorage& storage)
{
    const QString documents = GetMyDocumentsFolder();
    const QString base = documents + QStringLiteral("/Brontix/RAD Ozizedori");
    const bool ok = settings.Load(storage);
    if (settings.TrackFolder.isEmpty())
        settings.TrackFolder = documents;
    if (settings.OutputFolder.isEmpty())
        settings.OutputFolder = base + QStringLiteral("/output/");
    if (settings.TmpFolder.isEmpty())
        settings.TmpFolder = base + QStringLiteral("/tmp/");
    // The stored format is later handed on as a command code: only the seven
    // formats may pass.
    if (settings.OutputFormat < 1 || settings.OutputFormat > 7)
        settings.OutputFormat = 1;
    CreateFolderTree(settings.OutputFolder);
    CreateFolderTree(settings.TmpFolder);
    return ok;
}
