// The program's main window: the file list with its cover, the bars of
// commands, the two side panels, the main and context menus; it starts a
// conversion job on a thread of its own, turns the job's posted messages
// into the Status column, and stops and waits for the job before anything
// the job uses is freed.
#pragma once

#include "app/controls/cooltoolbar.h"
#include "app/convertjob.h"
#include "app/settings.h"

#include <QStringList>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string>

class CCoolButtonBar;
class CCoolToolBar;
class CLayoutNInOne;
class CLvCover;
class COutPutFolderDlg;
class CXListCtrl;
class LanguageMenu;
class QMenu;

namespace Karvell {
class CSettingsStorage;
}

// Control ids of the bars.
enum BarId {
    kBarAddFiles = 1010,
    kBarAddFolder = 1013,
    kBarCreatePdf = 1014,
    kBarWindowMenu = 1011,
    kBarListTools = 1008,
    kBarConvert = 1009,
    kBarFormats = 1012,
    kBarPanels = 1063,
};

// Context menu commands of the file list.
enum ListCommand {
    kCmdAdd = 32887,
    kCmdDelete = 32888,
    kCmdEmpty = 32889,
    kCmdOpenLocation = 32890,
    kCmdOpenPdf = 32891,
    kCmdOpenDestination = 32892,
    kCmdAddBookmarks = 32897,
};

// Status column of the file list.
constexpr int kStatusColumn = 4;

// The file list's five column widths (number, name, size, pages, status)
// for a list `listWidth` pixels wide whose vertical scroll bar is
// `scrollBarWidth` wide: shares of 4, 24, 5, 9 and 22 sixty-fourths of what
// is left, rounded down.
std::array<int, 5> ListColumnWidths(int listWidth, int scrollBarWidth);

class CPdfRezovirorDlg : public QWidget {
    Q_OBJECT
public:
    // Loads the settings from `storage`, which must outlive the window.
    explicit CPdfRezovirorDlg(Karvell::CSettingsStorage& storage, QWidget* parent = nullptr);
    // Stops a running job and waits for it before the list and the job
    // record go.
    ~CPdfRezovirorDlg() override;

    CFSMSettings& Settings() { return settings_; }
    CXListCtrl* List() const { return list_; }
    CCoolToolBar* ToolBar(int id) const;
    CCoolButtonBar* ButtonBar(int id) const;
    COutPutFolderDlg* OutputPanel() const { return outputPanel_; }
    CLayoutNInOne* LayoutPanel() const { return layoutPanel_; }
    CLvCover* Cover() const { return cover_; }
    QMenu* MainMenu() const { return mainMenu_; }
    QMenu* ContextMenu() const { return contextMenu_; }
    LanguageMenu* Languages() const { return languages_; }
    bool IsRunning() const { return running_; }
    bool IsMergeOn() const { return !mergeOff_; }
    // The record of list row `row`; null out of range.
    stru_ItemData* Item(int row) const;
    // The current (or last) job record; null before the first job.
    const ConvertJob* Job() const { return job_.get(); }

    // Asks for the password of a protected file; the default opens the
    // password prompt. Tests answer it themselves.
    using PasswordPrompt = std::function<std::string(const QString& path)>;
    void SetPasswordPrompt(PasswordPrompt prompt) { passwordPrompt_ = std::move(prompt); }
    // Asks whether page edges are to be cut; the default shows the question.
    void SetCutEdgeConfirm(std::function<bool()> confirm) { cutEdgeConfirm_ = std::move(confirm); }

    // One file added to the end of the list; false, nothing added, when it
    // cannot be read as a PDF.
    bool AddFile(const QString& path);
    // Several files with the progress window; `announce` shows each file's
    // line before it is added. Stops when the progress window is cancelled;
    // false then.
    bool AddPaths(const QStringList& paths, bool announce);
    // The PDF files directly in each folder (extension ".pdf" exactly), with
    // the progress window; a cancel ends the whole scan.
    void AddFolders(const QStringList& folders);
    void AddFiles();
    void AddFolder();
    // The dropped names that end in ".pdf" in any case.
    static QStringList DroppablePdfs(const QStringList& paths);

    void DeleteRow(int row);
    // Moves row `from` so that it lands before row `to` (to is counted
    // before the move: from - 1 moves up, from + 2 down).
    void MoveRow(int from, int to);
    void UpdateMoveButtons();
    QString DefaultMergeName() const;
    void RefreshMergeName();

    // A bar's command, as if its button was clicked.
    void OnCoolBarCommand(int code);
    void ShowPanel(int code);
    void StartConvert();
    void LayoutBars();
    // The context menu as it would show for a click on `row` (-1: none):
    // its items enabled or disabled.
    void PrepareContextMenu(int row);
    void OnContextCommand(int command);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildBars();
    void BuildMenus();
    void InitListColumns();
    void Retranslate();
    void SelectFormat(int code);
    void ToggleMerge();
    void OnJobStarted();
    void OnJobFinished();
    void OnJobProgress(unsigned message, quintptr index, qintptr value);
    void SetStatusText(int row, int stringId);
    void OnListContextMenu(const QPoint& pos);
    // Removes the selected rows, highest first; false when none is selected.
    bool DeleteSelectedRows();
    void SetConvertEnabled(bool enabled);
    void GiveListToolButtons();
    void GiveConvertButton();
    // Stops the job (cancel, then wait) and saves the settings, once.
    void Shutdown();

    Karvell::CSettingsStorage& storage_;
    CFSMSettings settings_;
    CXListCtrl* list_ = nullptr;
    CCoolToolBar* addFiles_ = nullptr;
    CCoolToolBar* addFolder_ = nullptr;
    CCoolToolBar* createPdf_ = nullptr;
    CCoolToolBar* listTools_ = nullptr;
    CCoolToolBar* convert_ = nullptr;
    CCoolButtonBar* windowMenu_ = nullptr;
    CCoolButtonBar* formats_ = nullptr;
    CCoolButtonBar* panels_ = nullptr;
    QMenu* mainMenu_ = nullptr;
    QMenu* languageMenu_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    LanguageMenu* languages_ = nullptr;
    COutPutFolderDlg* outputPanel_ = nullptr;
    CLayoutNInOne* layoutPanel_ = nullptr;
    CLvCover* cover_ = nullptr;

    // The buttons of bar 1008 and the convert button, changed in place when
    // merging is switched.
    COOLTOOLBUTTON listToolButtons_[4];
    COOLTOOLBUTTON convertButton_;

    bool mergeOff_ = true;
    bool running_ = false;
    bool shutDown_ = false;
    int contextRow_ = -1;
    int addedCount_ = 0;
    PasswordPrompt passwordPrompt_;
    std::function<bool()> cutEdgeConfirm_;

    // The job record outlives its thread: the thread is declared after it,
    // so it is joined first.
    std::unique_ptr<ConvertJob> job_;
    JobThread thread_;
};
