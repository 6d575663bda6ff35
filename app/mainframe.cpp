#include "app/mainframe.h"

#include "app/controls/langstring.h"
#include "app/localize.h"
#include "app/programsettings.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("Folvane RAD Ozizedori");

// String ids and width shares (of 64) of the file list's columns.
struct Column {
    int stringId;
    int share;
};
constexpr Column kColumns[] = {{155, 4}, {156, 24}, {157, 5}, {158, 9}, {160, 22}};

// String ids of the three hints over the empty list.
constexpr int kHints[] = {171, 172, 173};

} // namespace

MainFrame::MainFrame(Karvell::CSettingsStorage& storage, QWidget* parent)
    : QWidget(parent), storage_(storage)
{
    LoadProgramSettings(settings_, storage_);

    setWindowTitle(kTitle);
    resize(900, 640);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(233, 233, 233));
    setPalette(pal);

    auto* title = new QLabel(kTitle, this);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPixelSize(17);
    title->setFont(titleFont);
    title->setStyleSheet(QStringLiteral("color: rgb(125, 125, 125);"));

    mainMenu_ = new QMenu(this);
    QMenu* languageMenu = mainMenu_->addMenu(QStringLiteral("Language"));
    languages_ = new LanguageMenu(languageMenu, this, settings_, [] { return false; });
    connect(languages_, &LanguageMenu::languageChanged, this, &MainFrame::Retranslate);

    menuButton_ = new QToolButton(this);
    menuButton_->setText(QStringLiteral("\u2630"));
    menuButton_->setMenu(mainMenu_);
    menuButton_->setPopupMode(QToolButton::InstantPopup);
    menuButton_->setAutoRaise(true);

    list_ = new QTreeWidget(this);
    list_->setColumnCount(static_cast<int>(std::size(kColumns)));
    list_->setRootIsDecorated(false);
    list_->header()->setStretchLastSection(true);

    auto* hintRow = new QHBoxLayout;
    for (QLabel*& hint : hints_) {
        hint = new QLabel(this);
        hint->setWordWrap(true);
        hint->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        hint->setStyleSheet(QStringLiteral("color: rgb(97, 97, 97);"));
        hintRow->addWidget(hint);
    }

    auto* top = new QHBoxLayout;
    top->addWidget(title);
    top->addStretch();
    top->addWidget(menuButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(list_, 1);
    layout->addLayout(hintRow);

    languages_->Build();
    Retranslate();

    const int width = 860;
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i)
        list_->setColumnWidth(i, kColumns[i].share * width / 64);
}

void MainFrame::Retranslate()
{
    LocalizeMenu(mainMenu_->actions(), false);
    QStringList headers;
    for (const Column& c : kColumns)
        headers << GetLangString(c.stringId);
    list_->setHeaderLabels(headers);
    for (std::size_t i = 0; i < std::size(hints_); ++i)
        hints_[i]->setText(GetLangString(kHints[i]));
}

void MainFrame::closeEvent(QCloseEvent* event)
{
    if (!settings_.Save(storage_))
        QMessageBox::warning(this, kTitle, QString::fromUtf8(kSaveSettingsError), QMessageBox::Ok);
    event->accept();
}
