// The dialogs the main window opens for its options, create-PDF and update
// commands, and the update check it starts at start-up.
#pragma once

#include "app/settings.h"
#include "app/updatecheck.h" // WM_UPDATE_AVAILABLE, posted when a newer version exists

class QObject;
class QWidget;

// The options dialog, modal, on `settings`; `markedFormat` is the output
// format marked in the main window (-1 none).
void RunOptionsDialog(QWidget* parent, CFSMSettings& settings, int markedFormat);
// The create-PDF dialog, modal, on `settings`.
void RunCreatePdfDialog(QWidget* parent, CFSMSettings& settings);
// The new-version dialog in manual mode, modal.
void RunNewVersionDialog(QWidget* parent);
// Starts the update check in the background; when a newer version than
// major.minor.third exists, WM_UPDATE_AVAILABLE is posted to `window`. The
// check must not post after StopUpdateCheck returned.
void StartUpdateCheck(QObject* window, int major, int minor, int third);
// Ends the update check (waits for it); the main window calls it when it
// closes.
void StopUpdateCheck();
