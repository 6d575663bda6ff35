// Localising windows and menus from the language files, the Language menu,
// and telling every window that the language changed.
//
// A widget takes part when it carries its control id (SetControlId): its
// text is the value of that decimal id in the section "DIALOG_IDD_<dialog
// id>". A menu action takes part when it carries its command id: its text is
// that id's value in [MENU]. Texts missing from the chosen language come from
// the built-in English file, so windows are built with ids, not texts.
#pragma once

#include "app/settings.h"

#include <QObject>
#include <QStringList>

#include <functional>

class QAction;
class QActionGroup;
class QMenu;
class QWidget;

void SetControlId(QWidget* widget, int id);
int ControlId(const QWidget* widget); // 0 when none was set
void SetCommandId(QAction* action, int id);
int CommandId(const QAction* action); // 0 when none was set

// The window title from [DIALOG_IDD_<dialogId>] "title" ("\n" and "\t"
// converted), when there is one.
void LocalizeDialogTitle(QWidget* window, int dialogId);
// Every descendant with a control id (buttons, labels, group boxes, edits)
// takes the text of its id ("\n" converted, "\t" kept), when there is one.
void LocalizeChildren(QWidget* window, int dialogId);
// Every action with a command id takes its [MENU] text, recursively into
// sub-menus; checked and enabled states stay. A sub-menu entry is renamed
// (key "item_<position from 1>") only when `menuBar` is true.
void LocalizeMenu(const QList<QAction*>& actions, bool menuBar);

// Sends the window message WM_RELOAD_LANGUAGE to every descendant of `root`,
// at every depth: each receiver fetches its texts again.
void SendReloadLanguage(QWidget* root);

// The Language sub-menu: "auto" (command 32778) and one checkable entry per
// offered language file (32779, 32780, ...), the chosen one checked.
class LanguageMenu : public QObject {
    Q_OBJECT
public:
    static constexpr int kFirstCommand = 32778;

    // `window` is the main window, whose widgets hear of a change; `busy`
    // tells whether a job runs, and the language does not change then.
    LanguageMenu(QMenu* menu, QWidget* window, CFSMSettings& settings, std::function<bool()> busy);

    // Fills the menu from the language folder and makes the language of the
    // settings' languageID current ("auto" when its file is not offered; the
    // stored value stays).
    void Build();
    // The user picked the entry of `commandId`: the settings' languageID
    // becomes its code, the language switches, languageChanged is emitted
    // and then WM_RELOAD_LANGUAGE goes to every descendant of the window.
    // False, nothing changed, while busy or for an id outside the menu.
    bool Choose(int commandId);

    // "auto", then the code of every entry, in menu order.
    const QStringList& Codes() const { return codes_; }
    QList<QAction*> Actions() const;
    // Enables or disables every entry (while a job runs).
    void SetEnabled(bool enabled);

signals:
    void languageChanged();

private:
    QMenu* menu_;
    QWidget* window_;
    CFSMSettings& settings_;
    std::function<bool()> busy_;
    QActionGroup* group_;
    QStringList codes_;
    qsizetype checked_ = 0;
};
