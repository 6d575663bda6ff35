// The options, create-PDF and new-version dialogs as the main window opens
// them, and its silent update check at start-up.
#include "app/dialoghooks.h"

#include "app/createpdfdlg.h"
#include "app/optiondialog.h"
#include "app/pdfrezovirordlg.h"
#include "app/updatecheck.h"

#include <QWidget>

namespace {

// The address of the version file in the main window's settings; empty
// when `window` is not the main window.
QString VersionFileUrl(QObject* window)
{
    auto* main = dynamic_cast<CPdfRezovirorDlg*>(window);
    return main ? main->Settings().VersionFileUrl : QString();
}

QObject* silentWindow = nullptr;

} // namespace

void RunOptionsDialog(QWidget* parent, CFSMSettings& settings, int markedFormat)
{
    CDlgOption dialog(settings, markedFormat, parent);
    dialog.exec();
}

void RunCreatePdfDialog(QWidget* parent, CFSMSettings& settings)
{
    CCreatePDFDlg dialog(settings, parent);
    dialog.exec();
}

void RunNewVersionDialog(QWidget* parent)
{
    CNewVersionDlg dialog(VersionFileUrl(parent), true, parent);
    dialog.exec();
}

void StartUpdateCheck(QObject* window, int major, int minor, int third)
{
    const QString url = VersionFileUrl(window);
    // No address, no check.
    if (url.trimmed().isEmpty())
        return;
    silentWindow = window;
    SetUpdateAnswerWindow(window);
    StartUpdateCheckThread(OwnVersion{major, minor, third}, url, window);
}

void StopUpdateCheck()
{
    // Nothing is posted to the main window after this; a check still
    // waiting for the network gets a moment to end and then posts nowhere.
    if (silentWindow)
        ClearUpdateAnswerWindow(silentWindow);
    silentWindow = nullptr;
    WaitForUpdateChecks(2000);
}
