// Until the options, create-PDF and update dialogs exist, their commands do
// nothing and no update check runs.
#include "app/dialoghooks.h"

void RunOptionsDialog(QWidget*, CFSMSettings&, int) {}

void RunCreatePdfDialog(QWidget*, CFSMSettings&) {}

void RunNewVersionDialog(QWidget*) {}

void StartUpdateCheck(QObject*, int, int, int) {}

void StopUpdateCheck() {}
