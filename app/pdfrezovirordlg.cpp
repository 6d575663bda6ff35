#include "app/pdfrezovirordlg.h"

#include "app/controls/bartables.h"
#include "app/controls/coolbuttonbar.h"
#include "app/controls/langstring.h"
#include "app/controls/lvcover.h"
#include "app/controls/progresswnd.h"
#include "app/controls/windowmessage.h"
#include "app/controls/xlistctrl.h"
#include "app/dialoghooks.h"
#include "app/filetools/pagecounter.h"
#include "app/folders.h"
#include "app/localize.h"
#include "app/pdfcalls.h"
#include "app/programsettings.h"
#include "app/sidepanels.h"
#include "app/smalldialogs.h"
#include "app/textformat.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QScrollBar>
#include <QUrl>
#include <QWindow>

#include <algorithm>

namespace {

const QString kTitle = QStringLiteral("Folvane RAD Ozizedori");
constexpr int kMainDialog = 102;

// Menu commands of the main menu.
enum MenuCommand {
    kCmdHelp = 32771,
    kCmdCheckUpdate = 32772,
    kCmdHomepage = 32773,
    kCmdAbout = 32776,
};

// String ids of the file list's columns and their width shares of 64.
struct Column {
    int stringId;
    int share;
};
constexpr Column kColumns[] = {{155, 4}, {156, 24}, {157, 5}, {158, 9}, {160, 22}};

QString Decimal(int n)
{
    return QString::number(n);
}

// The size column: below 1 MB in whole kilobytes, else megabytes with two
// decimals.
QString SizeText(std::uint64_t size)
{
    if (size < 1048576)
        return QString::asprintf("%0.fKB", static_cast<double>(size) / 1024.0);
    return QString::asprintf("%0.2fMB", static_cast<double>(size) / 1048576.0);
}

QString FromWide(const std::wstring& s)
{
    return QString::fromStdWString(s);
}

QAction* AddCommand(QMenu* menu, int id, const QString& text)
{
    QAction* a = menu->addAction(text);
    SetCommandId(a, id);
    return a;
}

void OpenUrl(const QString& url)
{
    QDesktopServices::openUrl(QUrl(url));
}

// Shows a file in the desktop's file manager: its folder opened.
void ShowInExplorer(const QString& path)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    QApplication::restoreOverrideCursor();
}

} // namespace

std::array<int, 5> ListColumnWidths(int listWidth, int scrollBarWidth)
{
    const int available = listWidth - scrollBarWidth - 2;
    std::array<int, 5> widths{};
    for (std::size_t i = 0; i < widths.size(); ++i)
        widths[i] = kColumns[i].share * available / 64;
    return widths;
}

CPdfRezovirorDlg::CPdfRezovirorDlg(Karvell::CSettingsStorage& storage, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), storage_(storage)
{
    listToolButtons_[0] = kListToolButtons[0];
    listToolButtons_[1] = kListToolButtons[1];
    listToolButtons_[2] = kListToolButtons[2];
    listToolButtons_[3] = kListToolButtons[3];
    convertButton_ = kConvertButton;

    setWindowTitle(kTitle);
    resize(900, 700);
    setAcceptDrops(true);
    LoadProgramSettings(settings_, storage_);

    BuildMenus();

    outputPanel_ = new COutPutFolderDlg(settings_, this);
    layoutPanel_ = new CLayoutNInOne(this);

    list_ = new CXListCtrl(this);
    list_->setObjectName(QStringLiteral("fileList"));
    list_->setGeometry(12, 84, 877, 346);
    list_->installEventFilter(this);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QWidget::customContextMenuRequested, this, &CPdfRezovirorDlg::OnListContextMenu);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    InitListColumns();
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!running_)
            UpdateMoveButtons();
    });

    BuildBars();
    // Merging is off after every start.
    settings_.PDFMerge_Folvane = 0;
    mergeOff_ = true;
    GiveListToolButtons();
    LayoutBars();

    int major = 0, minor = 0, third = 0;
    GetFileVersion(major, minor, third);
    StartUpdateCheck(this, major, minor, third);

    // The panels from the settings; the output folder's is shown.
    layoutPanel_->SetChoice(settings_.OutputXInOne);
    outputPanel_->LoadFromSettings();
    const QRect switchRect = panels_->geometry();
    for (QWidget* panel : {static_cast<QWidget*>(outputPanel_), static_cast<QWidget*>(layoutPanel_)})
        panel->setGeometry(switchRect.left(), switchRect.bottom() + 1 + 6, 600, 108);
    ShowPanel(1063);

    cover_ = new CLvCover(GetAppFolder(), this);
    cover_->setGeometry(list_->geometry());
    cover_->SetTarget(this, WM_COOLBAR_COMMAND);
    cover_->show();
    list_->hide();

    Retranslate();
    SendWindowMessage(this, WM_COOLBAR_COMMAND, static_cast<quintptr>(settings_.OutputFormat), 0);
}

CPdfRezovirorDlg::~CPdfRezovirorDlg()
{
    Shutdown();
    for (int row = list_->GetItemCount() - 1; row >= 0; --row)
        delete static_cast<stru_ItemData*>(list_->GetItemData(row));
}

void CPdfRezovirorDlg::Shutdown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    // The job's thread posts to this window and reads the job record: it
    // ends before either goes.
    thread_.Stop();
    StopUpdateCheck();
    if (!settings_.Save(storage_))
        QMessageBox::warning(this, kTitle, QString::fromUtf8(kSaveSettingsError), QMessageBox::Ok);
}

void CPdfRezovirorDlg::BuildMenus()
{
    mainMenu_ = new QMenu(this);
    AddCommand(mainMenu_, kCmdHelp, QStringLiteral("Help"));
    AddCommand(mainMenu_, kCmdCheckUpdate, QStringLiteral("Check For Update..."));
    AddCommand(mainMenu_, kCmdHomepage, QStringLiteral("Homepage"));
    languageMenu_ = mainMenu_->addMenu(QStringLiteral("Language"));
    AddCommand(mainMenu_, kCmdAbout, QStringLiteral("About"));
    languages_ = new LanguageMenu(languageMenu_, this, settings_, [this] { return running_; });
    connect(languages_, &LanguageMenu::languageChanged, this, &CPdfRezovirorDlg::Retranslate);
    connect(mainMenu_, &QMenu::triggered, this, [this](QAction* a) {
        switch (CommandId(a)) {
        case kCmdHelp: OpenUrl(GetTutorialPageUrl()); break;
        case kCmdCheckUpdate: RunNewVersionDialog(this); break;
        case kCmdHomepage: OpenUrl(GetProductPageUrl()); break;
        case kCmdAbout: {
            CAboutDlg about(this);
            about.exec();
            break;
        }
        default: break;
        }
    });
    languages_->Build();

    contextMenu_ = new QMenu(this);
    AddCommand(contextMenu_, kCmdAdd, QStringLiteral("Add..."));
    AddCommand(contextMenu_, kCmdDelete, QStringLiteral("Delete"));
    AddCommand(contextMenu_, kCmdEmpty, QStringLiteral("Empty"));
    contextMenu_->addSeparator();
    AddCommand(contextMenu_, kCmdOpenLocation, QStringLiteral("Open Location"));
    AddCommand(contextMenu_, kCmdOpenPdf, QStringLiteral("Open Pdf"));
    AddCommand(contextMenu_, kCmdOpenDestination, QStringLiteral("Open Destination Location"));
    contextMenu_->addSeparator();
    AddCommand(contextMenu_, kCmdAddBookmarks, QStringLiteral("Add Bookmark(s)"));
    connect(contextMenu_, &QMenu::triggered, this, [this](QAction* a) { OnContextCommand(CommandId(a)); });
}

void CPdfRezovirorDlg::BuildBars()
{
    auto makeTool = [this](int id) {
        auto* bar = new CCoolToolBar(this);
        bar->setObjectName(QStringLiteral("bar%1").arg(id));
        bar->SetTarget(this, WM_COOLBAR_COMMAND);
        bar->move(0, 0);
        return bar;
    };
    auto makeButtons = [this](int id, const CoolButtonBarTable& table) {
        auto* bar = new CCoolButtonBar(this);
        bar->setObjectName(QStringLiteral("bar%1").arg(id));
        bar->SetButtons(table.states, table.buttons, table.bitmapId);
        bar->SetTarget(this, WM_COOLBAR_COMMAND);
        bar->InitToolTips();
        bar->resize(bar->sizeHint());
        return bar;
    };
    windowMenu_ = makeButtons(kBarWindowMenu, kWindowMenuBar);
    formats_ = makeButtons(kBarFormats, kOutputFormatBar);
    panels_ = makeButtons(kBarPanels, kPanelSwitchBar);

    addFiles_ = makeTool(kBarAddFiles);
    addFiles_->SetButtons({&kAddFilesButton, 1});
    addFiles_->move(14, 40);
    addFolder_ = makeTool(kBarAddFolder);
    addFolder_->SetButtons({&kAddFolderButton, 1});
    createPdf_ = makeTool(kBarCreatePdf);
    createPdf_->SetButtons({&kCreatePdfButton, 1});
    listTools_ = makeTool(kBarListTools);
    listTools_->SetFontSize(13.0);
    convert_ = makeTool(kBarConvert);
    convert_->SetFontSize(35.0);
    GiveConvertButton();
    for (CCoolToolBar* bar : {addFiles_, addFolder_, createPdf_, listTools_, convert_})
        bar->InitToolTips();
}

void CPdfRezovirorDlg::InitListColumns()
{
    list_->SetFullRowSelect(true);
    list_->SetGridLines(true);
    // Rows 20 pixels high.
    QPixmap rowHeight(1, 20);
    rowHeight.fill(Qt::transparent);
    list_->SetSmallImageList({rowHeight});
    const std::array<int, 5> widths =
        ListColumnWidths(list_->width(), list_->verticalScrollBar()->sizeHint().width());
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i)
        list_->InsertColumn(i, GetLangString(kColumns[i].stringId), Qt::AlignLeft,
                            widths[static_cast<std::size_t>(i)]);
}

void CPdfRezovirorDlg::Retranslate()
{
    LocalizeMenu(mainMenu_->actions(), false);
    LocalizeMenu(contextMenu_->actions(), false);
    LocalizeDialogTitle(this, kMainDialog);
    if (windowTitle().isEmpty())
        setWindowTitle(kTitle);
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i)
        list_->SetColumnText(i, GetLangString(kColumns[i].stringId));
    GiveListToolButtons();
    GiveConvertButton();
    LayoutBars();
}

CCoolToolBar* CPdfRezovirorDlg::ToolBar(int id) const
{
    switch (id) {
    case kBarAddFiles: return addFiles_;
    case kBarAddFolder: return addFolder_;
    case kBarCreatePdf: return createPdf_;
    case kBarListTools: return listTools_;
    case kBarConvert: return convert_;
    default: return nullptr;
    }
}

CCoolButtonBar* CPdfRezovirorDlg::ButtonBar(int id) const
{
    switch (id) {
    case kBarWindowMenu: return windowMenu_;
    case kBarFormats: return formats_;
    case kBarPanels: return panels_;
    default: return nullptr;
    }
}

stru_ItemData* CPdfRezovirorDlg::Item(int row) const
{
    return static_cast<stru_ItemData*>(list_->GetItemData(row));
}

void CPdfRezovirorDlg::LayoutBars()
{
    const int w = width();
    const int h = height();
    const QPoint origin = addFiles_->pos();
    const int barHeight = kAddFilesButton.imageHeight;
    addFiles_->setGeometry(origin.x(), origin.y(), addFiles_->GetTotalWidth(), barHeight);
    addFolder_->setGeometry(addFiles_->geometry().right() + 1 + 10, origin.y(), addFolder_->GetTotalWidth(),
                            barHeight);
    createPdf_->setGeometry(addFolder_->geometry().right() + 1 + 10, origin.y(), createPdf_->GetTotalWidth(),
                            barHeight);
    convert_->setGeometry(w - convert_->GetTotalWidth() - 17, h - 100, convert_->GetTotalWidth(),
                          convertButton_.imageHeight);
    listTools_->setGeometry(w - listTools_->GetTotalWidth() - 17, 50, listTools_->GetTotalWidth(),
                            listToolButtons_[0].imageHeight);
    windowMenu_->move(w - windowMenu_->width() - 7, 2);
    // The format bar sits under the list, the panel switch under it.
    formats_->move(10, list_->geometry().bottom() + 8);
    panels_->move(10, formats_->geometry().bottom() + 8);
    const QRect switchRect = panels_->geometry();
    if (outputPanel_)
        outputPanel_->move(switchRect.left(), switchRect.bottom() + 1 + 6);
    if (layoutPanel_)
        layoutPanel_->move(switchRect.left(), switchRect.bottom() + 1 + 6);
}

void CPdfRezovirorDlg::GiveListToolButtons()
{
    listTools_->SetButtons(listToolButtons_);
    listTools_->update();
}

void CPdfRezovirorDlg::GiveConvertButton()
{
    const int state = convert_->ButtonState(301);
    convert_->SetButtons({&convertButton_, 1});
    if (state >= 0)
        convert_->SetButtonState(301, state);
    convert_->update();
}

void CPdfRezovirorDlg::SetConvertEnabled(bool enabled)
{
    convert_->SetButtonState(301, enabled ? 1 : 0);
    convert_->repaint();
}

// ---- commands ---------------------------------------------------------------

bool CPdfRezovirorDlg::event(QEvent* event)
{
    const WindowMessage* m = AsWindowMessage(event);
    if (!m)
        return QWidget::event(event);
    switch (m->message()) {
    case WM_COOLBAR_COMMAND:
        OnCoolBarCommand(static_cast<int>(m->wParam()));
        return true;
    case WM_JOB_FINISHED:
    case WM_JOB_FINISHED_2:
        OnJobFinished();
        return true;
    case WM_PROGRESS_PERCENT:
    case WM_PROGRESS_STATE:
    case WM_ITEM_LOAD_FAILED:
        OnJobProgress(m->message(), m->wParam(), m->lParam());
        return true;
    case WM_UPDATE_AVAILABLE:
        if (QMessageBox::question(this, GetLangString(151), GetLangString(150),
                                  QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
            OpenUrl(GetDownloadPageUrl());
        return true;
    default:
        return true;
    }
}

void CPdfRezovirorDlg::OnCoolBarCommand(int code)
{
    // An open in-cell list closes first.
    if (list_->GetItemCount() > 0)
        list_->OnXComboListVkEscape();
    switch (code) {
    case 1: case 2: case 3: case 4: case 5: case 6: case 7:
        SelectFormat(code);
        break;
    case 101:
        mainMenu_->popup(windowMenu_->mapToGlobal(QPoint(0, windowMenu_->height())));
        RefreshBarHover(windowMenu_);
        break;
    case 102:
        showMinimized();
        break;
    case 103:
        close();
        break;
    case 201:
        AddFiles();
        break;
    case 202:
        AddFolder();
        break;
    case 203:
        RunCreatePdfDialog(this, settings_);
        RefreshBarHover(createPdf_);
        break;
    case 301:
        if (running_) {
            if (job_)
                job_->cancel.store(true);
        } else if (list_->GetItemCount() > 0) {
            if (settings_.OutputFormat == 6)
                settings_.OutputXInOne = layoutPanel_->Choice();
            StartConvert();
        }
        break;
    case 401: {
        CDlgPdfToolsHome home(this);
        home.exec();
        RefreshBarHover(listTools_);
        break;
    }
    case 403: {
        int marked = -1;
        for (const COOLBARBUTTON& b : formats_->Buttons())
            if (b.state == 0) {
                marked = b.code;
                break;
            }
        RunOptionsDialog(this, settings_, marked);
        RefreshBarHover(listTools_);
        break;
    }
    case 501:
    case 502: {
        const int row = list_->GetCurSel();
        if (row >= 0 && !running_) {
            MoveRow(row, code == 501 ? row - 1 : row + 2);
            UpdateMoveButtons();
        }
        break;
    }
    case 503:
        if (!running_)
            ToggleMerge();
        break;
    case 1063:
    case 1065:
        ShowPanel(code);
        break;
    default:
        break;
    }
}

void CPdfRezovirorDlg::SelectFormat(int code)
{
    settings_.OutputFormat = code;
    listTools_->SetButtonState(503, 1);
    formats_->EnableAllButtons();
    formats_->DisableButton(code);
}

void CPdfRezovirorDlg::ShowPanel(int code)
{
    panels_->EnableAllButtons();
    panels_->DisableButton(code);
    outputPanel_->setVisible(code == 1063);
    layoutPanel_->setVisible(code == 1065);
}

void CPdfRezovirorDlg::ToggleMerge()
{
    const bool on = mergeOff_;
    settings_.PDFMerge_Folvane = on ? 1 : 0;
    mergeOff_ = !on;
    COOLTOOLBUTTON& merge = listToolButtons_[0];
    merge.bitmapId = on ? 190 : 189;
    merge.textId = on ? 220 : 216;
    merge.tooltipId = on ? 221 : 217;
    convertButton_.bitmapId = on ? 196 : 141;
    convertButton_.textId = on ? 250 : 139;
    if (on) {
        ShowPanel(1065);
        RefreshMergeName();
    } else {
        ShowPanel(1063);
    }
    GiveListToolButtons();
    GiveConvertButton();
    listTools_->InitToolTips();
    LayoutBars();
}

// ---- the job ----------------------------------------------------------------

void CPdfRezovirorDlg::StartConvert()
{
    bool cutEdges = true;
    if (settings_.OutputFormat == 6 && settings_.PDFbCutEdge && mergeOff_) {
        // The question is asked here, on the user-interface thread; a job
        // thread owns no window.
        if (cutEdgeConfirm_) {
            cutEdges = cutEdgeConfirm_();
        } else {
            QMessageBox box(QMessageBox::NoIcon, QString(), GetLangString(259),
                            QMessageBox::Ok | QMessageBox::Cancel, this);
            cutEdges = box.exec() == QMessageBox::Ok;
        }
    }
    OnJobStarted();
    // The previous job's thread has ended (it posted its finished message).
    thread_.Join();
    job_ = std::make_unique<ConvertJob>();
    job_->window = this;
    job_->cutEdgeConfirmed = cutEdges;
    CopySettings(settings_, job_->settings);
    for (int r = 0; r < list_->GetItemCount(); ++r) {
        stru_ItemData* item = Item(r);
        item->rowNumber = r + 1;
        item->pageRange.clear();
        job_->items.push_back(*item);
    }
    const bool merged = settings_.PDFMerge_Folvane && (settings_.OutputFormat == 5 || settings_.OutputFormat == 6);
    thread_.Start(job_.get(), merged ? MergeJobThread : ConvertJobThread);
}

void CPdfRezovirorDlg::OnJobStarted()
{
    running_ = true;
    setUpdatesEnabled(false);
    for (int r = 0; r < list_->GetItemCount(); ++r) {
        stru_ItemData* item = Item(r);
        if (item->status == kItemLoadFailed)
            continue;
        item->status = kItemWaiting;
        list_->DeleteProgress(r, kStatusColumn);
        list_->SetItemText(r, kStatusColumn, QString());
    }
    for (CCoolToolBar* bar : {addFiles_, addFolder_, listTools_})
        bar->SetAllButtonStates(0);
    convertButton_.textId = 152;
    GiveConvertButton();
    formats_->setEnabled(false);
    outputPanel_->SetControlsEnabled(false);
    layoutPanel_->SetRadiosEnabled(false);
    LayoutBars();
    setUpdatesEnabled(true);
    languages_->SetEnabled(false);
    settings_.MergeName = layoutPanel_->MergeName();
}

void CPdfRezovirorDlg::OnJobFinished()
{
    if (!running_)
        return;
    // The thread posted its last message; it ends at once.
    thread_.Join();
    running_ = false;
    setUpdatesEnabled(false);
    for (CCoolToolBar* bar : {addFiles_, addFolder_, listTools_})
        bar->SetAllButtonStates(1);
    convertButton_.textId = mergeOff_ ? 139 : 250;
    GiveConvertButton();
    formats_->setEnabled(true);
    outputPanel_->SetControlsEnabled(true);
    layoutPanel_->SetRadiosEnabled(true);
    LayoutBars();
    setUpdatesEnabled(true);
    languages_->SetEnabled(true);
    UpdateMoveButtons();
}

void CPdfRezovirorDlg::SetStatusText(int row, int stringId)
{
    list_->DeleteProgress(row, kStatusColumn);
    list_->SetItemText(row, kStatusColumn, GetLangString(stringId));
}

void CPdfRezovirorDlg::OnJobProgress(unsigned message, quintptr index, qintptr value)
{
    if (message == WM_ITEM_LOAD_FAILED) {
        const int row = static_cast<int>(index);
        if (stru_ItemData* item = Item(row)) {
            item->status = kItemLoadFailed;
            SetStatusText(row, 174);
        }
        return;
    }
    // Messages of another job, or of an item the job does not hold, touch
    // nothing.
    if (!job_ || index >= job_->items.size())
        return;
    const int row = job_->items[index].rowNumber - 1;
    stru_ItemData* item = Item(row);
    if (!item)
        return;
    if (message == WM_PROGRESS_PERCENT) {
        list_->UpdateProgress(row, kStatusColumn, static_cast<int>(value));
        return;
    }
    switch (value) {
    case kItemRunning:
        item->status = kItemRunning;
        list_->SetProgress(row, kStatusColumn, true);
        break;
    case kItemDone:
        item->status = kItemDone;
        SetStatusText(row, 153);
        break;
    case kItemFailed:
        item->status = kItemFailed;
        SetStatusText(row, 154);
        break;
    default:
        break;
    }
}

// ---- the file list ----------------------------------------------------------

bool CPdfRezovirorDlg::AddFile(const QString& path)
{
    cover_->hide();
    list_->show();

    auto item = std::make_unique<stru_ItemData>();
    item->source = path.toStdWString();
    item->rowNumber = ++addedCount_;
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return false;
    item->fileSize = static_cast<std::uint64_t>(info.size());
    int pages = PdfPageCounter::GetPageCount(item->source);
    const PdfProtection protection = PdfPasswordCheck(path);
    if (protection == PdfProtection::Unreadable)
        return false;
    item->needsPassword = protection == PdfProtection::NeedsPassword;
    if (item->needsPassword) {
        if (passwordPrompt_) {
            item->password = passwordPrompt_(path);
        } else {
            CPasswordDlg prompt(path, this);
            if (prompt.exec() == QDialog::Accepted)
                item->password = prompt.Password();
        }
    }
    if (pages < 0)
        pages = ParserPageCount(path, item->password);
    // A protected file whose password is unknown or wrong still counts its
    // pages only when the counter could; the job reports it per item.
    item->pageCount = std::max(pages, 0);
    item->status = kItemWaiting;

    list_->setUpdatesEnabled(false);
    const int row = list_->InsertItem(list_->GetItemCount(), Decimal(list_->GetItemCount() + 1));
    list_->SetItemData(row, item.release());
    QString name = path;
    GetFileNameFromPath(name, path);
    list_->SetItemText(row, 1, name);
    list_->SetItemToolTipText(row, 1, path);
    list_->SetItemText(row, 3, Decimal(Item(row)->pageCount));
    list_->SetItemText(row, 2, SizeText(Item(row)->fileSize));
    if (convert_->ButtonState(301) == 0)
        SetConvertEnabled(true);
    list_->setUpdatesEnabled(true);
    if (!mergeOff_)
        RefreshMergeName();
    if (!running_)
        UpdateMoveButtons();
    return true;
}

bool CPdfRezovirorDlg::AddPaths(const QStringList& paths, bool announce)
{
    CProgressWnd progress;
    bool created = false;
    bool completed = true;
    for (const QString& path : paths) {
        if (!created) {
            progress.Create(this, GetLangString(138));
            progress.SetRange();
            progress.GoModal(GetLangString(138));
            created = true;
        }
        if (progress.Cancelled()) {
            completed = false;
            break;
        }
        const QString line = FormatText(GetLangString(219), {path}) + QLatin1Char(' ');
        if (announce)
            progress.SetText(line);
        const bool ok = AddFile(path);
        progress.SetText(line + GetLangString(ok ? 153 : 154));
        progress.PeekAndPump();
        progress.PeekAndPump();
    }
    if (progress.Cancelled())
        completed = false;
    if (created)
        progress.DestroyWindow();
    return completed;
}

void CPdfRezovirorDlg::AddFiles()
{
    const QStringList paths = QFileDialog::getOpenFileNames(
        this, QStringLiteral("Open"), settings_.TrackFolder, QStringLiteral("PDF Files(*.pdf *.PDF);;All Files (*)"));
    if (!paths.isEmpty() && AddPaths(paths, true)) {
        QString folder;
        if (GetFolderFromPath(folder, paths.back()))
            settings_.TrackFolder = folder;
    }
    RefreshBarHover(addFiles_);
}

void CPdfRezovirorDlg::AddFolders(const QStringList& folders)
{
    CProgressWnd progress;
    bool created = false;
    for (const QString& folder : folders) {
        const QFileInfoList entries =
            QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
        for (const QFileInfo& entry : entries) {
            if (entry.suffix() != QStringLiteral("pdf") || !entry.fileName().endsWith(QStringLiteral(".pdf")))
                continue;
            if (!created) {
                progress.Create(this, GetLangString(138));
                progress.SetRange();
                progress.GoModal(GetLangString(138));
                created = true;
            }
            if (progress.Cancelled())
                break;
            const QString path = entry.absoluteFilePath();
            const bool ok = AddFile(path);
            progress.SetText(FormatText(GetLangString(219), {path}) + QLatin1Char(' ') +
                             GetLangString(ok ? 153 : 154));
            progress.PeekAndPump();
            progress.PeekAndPump();
        }
        if (created && progress.Cancelled())
            break;
    }
    if (created)
        progress.DestroyWindow();
}

void CPdfRezovirorDlg::AddFolder()
{
    CBatchCollectDlg dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        AddFolders(dialog.Folders());
    RefreshBarHover(addFolder_);
}

QStringList CPdfRezovirorDlg::DroppablePdfs(const QStringList& paths)
{
    QStringList out;
    for (const QString& p : paths)
        if (p.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
            out << p;
    return out;
}

namespace {

QStringList DroppedFiles(const QMimeData* data)
{
    QStringList out;
    if (!data || !data->hasUrls())
        return out;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            out << url.toLocalFile();
    return out;
}

} // namespace

void CPdfRezovirorDlg::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppablePdfs(DroppedFiles(event->mimeData())).isEmpty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CPdfRezovirorDlg::dragMoveEvent(QDragMoveEvent* event)
{
    if (!DroppablePdfs(DroppedFiles(event->mimeData())).isEmpty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CPdfRezovirorDlg::dropEvent(QDropEvent* event)
{
    if (!event->mimeData() || !event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    AddPaths(DroppablePdfs(DroppedFiles(event->mimeData())), false);
}

QString CPdfRezovirorDlg::DefaultMergeName() const
{
    const int rows = list_->GetItemCount();
    if (rows == 0)
        return QString();
    const QString first = GetBaseName(FromWide(Item(0)->source));
    if (rows == 1)
        return first;
    return first + QLatin1Char('_') + GetBaseName(FromWide(Item(rows - 1)->source));
}

void CPdfRezovirorDlg::RefreshMergeName()
{
    if (settings_.PDFMerge_Folvane)
        layoutPanel_->SetMergeName(DefaultMergeName());
}

void CPdfRezovirorDlg::DeleteRow(int row)
{
    if (row < 0 || row >= list_->GetItemCount())
        return;
    delete Item(row);
    list_->DeleteItem(row);
    for (int i = row; i < list_->GetItemCount(); ++i)
        list_->SetItemText(i, 0, Decimal(i + 1));
    if (list_->GetItemCount() == 0)
        SetConvertEnabled(false);
    if (!mergeOff_)
        RefreshMergeName();
    if (!running_)
        UpdateMoveButtons();
}

void CPdfRezovirorDlg::MoveRow(int from, int to)
{
    const int rows = list_->GetItemCount();
    if (from == to || from < 0 || to < 0 || from >= rows || to > rows)
        return;
    XListModel* model = list_->GetModel();
    const bool selected = list_->selectionModel()->isRowSelected(from, QModelIndex());
    list_->InsertItem(to, list_->GetItemText(from, 0));
    if (to < from)
        ++from;
    for (int c = 0; c < list_->GetColumns(); ++c) {
        *model->Cell(to, c) = *model->Cell(from, c);
        model->CellChanged(to, c);
    }
    // The item record now belongs to the new row.
    list_->SetItemData(from, nullptr);
    list_->DeleteItem(from);
    const int moved = to < from ? to : to - 1;
    QItemSelectionModel* sel = list_->selectionModel();
    const QModelIndex index = list_->GetModel()->index(moved, 0);
    sel->select(index, (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                           QItemSelectionModel::Rows);
    if (selected)
        sel->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    for (int i = 0; i < list_->GetItemCount(); ++i)
        list_->SetItemText(i, 0, Decimal(i + 1));
    if (!mergeOff_)
        RefreshMergeName();
}

void CPdfRezovirorDlg::UpdateMoveButtons()
{
    listTools_->SetAllButtonStates(1);
    const int rows = list_->GetItemCount();
    const QModelIndexList selected = list_->selectionModel()->selectedRows();
    if (rows == 0) {
        listTools_->SetAllButtonStates(0);
    } else if (selected.size() != 1) {
        listTools_->SetButtonState(501, 0);
        listTools_->SetButtonState(502, 0);
    } else {
        const int row = selected.front().row();
        if (row == 0)
            listTools_->SetButtonState(501, 0);
        if (row == rows - 1)
            listTools_->SetButtonState(502, 0);
    }
    listTools_->SetButtonState(503, 1);
    listTools_->repaint();
}

bool CPdfRezovirorDlg::DeleteSelectedRows()
{
    QList<int> rows;
    for (const QModelIndex& i : list_->selectionModel()->selectedRows())
        rows << i.row();
    if (rows.isEmpty())
        return false;
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int r : rows)
        DeleteRow(r);
    return true;
}

void CPdfRezovirorDlg::PrepareContextMenu(int row)
{
    contextRow_ = row;
    const bool hit = row >= 0 && row < list_->GetItemCount();
    bool destination = false;
    // A running job writes the result paths; they are read once it ended.
    if (hit && !running_) {
        const QString result = FromWide(*Item(row)->result);
        destination = !result.isEmpty() && QFileInfo::exists(result);
    }
    for (QAction* a : contextMenu_->actions()) {
        switch (CommandId(a)) {
        case kCmdAdd: a->setEnabled(!running_); break;
        case kCmdDelete: a->setEnabled(!running_ && hit); break;
        case kCmdEmpty: a->setEnabled(!running_ && list_->GetItemCount() > 0); break;
        case kCmdOpenDestination: a->setEnabled(!running_ && destination); break;
        case kCmdOpenLocation:
        case kCmdOpenPdf: a->setEnabled(hit); break;
        case kCmdAddBookmarks: a->setEnabled(true); break;
        default: break;
        }
    }
}

void CPdfRezovirorDlg::OnListContextMenu(const QPoint& pos)
{
    const QModelIndex index = list_->indexAt(pos);
    PrepareContextMenu(index.isValid() ? index.row() : -1);
    contextMenu_->popup(list_->viewport()->mapToGlobal(pos));
}

void CPdfRezovirorDlg::OnContextCommand(int command)
{
    const stru_ItemData* item = contextRow_ >= 0 ? Item(contextRow_) : nullptr;
    switch (command) {
    case kCmdAdd:
        AddFiles();
        RefreshMergeName();
        break;
    case kCmdDelete:
        if (contextRow_ != -1)
            DeleteRow(contextRow_);
        contextRow_ = -1;
        RefreshMergeName();
        break;
    case kCmdEmpty:
        for (int r = list_->GetItemCount() - 1; r >= 0; --r)
            DeleteRow(r);
        SetConvertEnabled(false);
        RefreshMergeName();
        break;
    case kCmdOpenLocation:
        if (item)
            ShowInExplorer(FromWide(item->source));
        break;
    case kCmdOpenPdf:
        if (item) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            QDesktopServices::openUrl(QUrl::fromLocalFile(FromWide(item->source)));
            QApplication::restoreOverrideCursor();
        }
        break;
    case kCmdOpenDestination:
        if (item && QFileInfo::exists(FromWide(*item->result)))
            ShowInExplorer(FromWide(*item->result));
        break;
    case kCmdAddBookmarks:
        QMessageBox::information(this, kTitle, QString::fromUtf8("书签功能稍后添加"), QMessageBox::Ok);
        break;
    default:
        break;
    }
}

// ---- window -----------------------------------------------------------------

bool CPdfRezovirorDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete) {
            if (running_) {
                QApplication::beep();
                return true;
            }
            if (DeleteSelectedRows())
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CPdfRezovirorDlg::keyPressEvent(QKeyEvent* event)
{
    // Neither Enter nor Escape closes the window; F1 opens the tutorial.
    switch (event->key()) {
    case Qt::Key_F1:
        OpenUrl(GetTutorialPageUrl());
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void CPdfRezovirorDlg::closeEvent(QCloseEvent* event)
{
    Shutdown();
    event->accept();
}

void CPdfRezovirorDlg::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(233, 233, 233));
    p.setPen(QColor(190, 190, 190));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(17);
    font.setWeight(QFont::Bold);
    p.setFont(font);
    p.setPen(QColor(125, 125, 125));
    const QString title = windowTitle().isEmpty() ? kTitle : windowTitle();
    p.drawText(QPoint(40, 10 + p.fontMetrics().ascent()), title);
}

void CPdfRezovirorDlg::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Rounded corners of 9 x 9 follow every size.
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, width() + 1, height() + 1), 4.5, 4.5);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
    LayoutBars();
}

void CPdfRezovirorDlg::mousePressEvent(QMouseEvent* event)
{
    // The frameless window is dragged by its surface.
    if (event->button() == Qt::LeftButton && windowHandle())
        windowHandle()->startSystemMove();
    QWidget::mousePressEvent(event);
}
