// The program's main window as it stands at start-up: it loads the settings,
// offers the Language menu, shows the file list's column titles and the hints
// of the empty list in the chosen language, and saves the settings when it
// closes.
#pragma once

#include "app/settings.h"

#include <QWidget>

class LanguageMenu;
class QLabel;
class QMenu;
class QToolButton;
class QTreeWidget;

namespace Karvell {
class CSettingsStorage;
}

class MainFrame : public QWidget {
    Q_OBJECT
public:
    // Loads the settings from `storage`, which must outlive the window.
    explicit MainFrame(Karvell::CSettingsStorage& storage, QWidget* parent = nullptr);

    CFSMSettings& Settings() { return settings_; }
    LanguageMenu* Languages() { return languages_; }
    QMenu* MainMenu() { return mainMenu_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Fetches every text again in the current language.
    void Retranslate();

    Karvell::CSettingsStorage& storage_;
    CFSMSettings settings_;
    QToolButton* menuButton_;
    QMenu* mainMenu_;
    LanguageMenu* languages_;
    QTreeWidget* list_;
    QLabel* hints_[3];
};
