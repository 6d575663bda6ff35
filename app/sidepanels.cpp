#include "app/sidepanels.h"

#include "app/controls/folderdialog.h"
#include "app/localize.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int kOutputFolderDialog = 181;
constexpr int kLayoutDialog = 170;

// Panels are drawn on white.
void MakeWhite(QWidget* w)
{
    w->setAutoFillBackground(true);
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, Qt::white);
    w->setPalette(pal);
}

template <typename W>
W* WithId(W* w, int id)
{
    SetControlId(w, id);
    return w;
}

} // namespace

COutPutFolderDlg::COutPutFolderDlg(CFSMSettings& settings, QWidget* parent)
    : QWidget(parent), settings_(settings)
{
    MakeWhite(this);
    source_ = WithId(new QRadioButton(this), 1001);
    custom_ = WithId(new QRadioButton(this), 1002);
    folder_ = new QLineEdit(this);   // 1003: its text is a path, never localised
    browse_ = WithId(new QPushButton(this), 1004);
    open_ = WithId(new QPushButton(this), 1005);
    auto* group = new QButtonGroup(this);
    group->addButton(source_, 0);
    group->addButton(custom_, 1);
    connect(group, &QButtonGroup::idClicked, this, &COutPutFolderDlg::OnChoice);
    connect(browse_, &QPushButton::clicked, this, &COutPutFolderDlg::OnBrowse);
    connect(open_, &QPushButton::clicked, this, &COutPutFolderDlg::OnOpen);

    auto* grid = new QGridLayout(this);
    grid->addWidget(source_, 0, 0, 1, 4);
    grid->addWidget(custom_, 1, 0);
    grid->addWidget(folder_, 1, 1);
    grid->addWidget(browse_, 1, 2);
    grid->addWidget(open_, 1, 3);
    grid->setColumnStretch(1, 1);
    LocalizeChildren(this, kOutputFolderDialog);
    LoadFromSettings();
}

void COutPutFolderDlg::LoadFromSettings()
{
    choice_ = settings_.CustomOutputFolder ? 1 : 0;
    (choice_ ? custom_ : source_)->setChecked(true);
    folder_->setText(settings_.OutputFolder);
    folder_->setEnabled(choice_ == 1);
}

QString COutPutFolderDlg::FolderText() const
{
    return folder_->text();
}

void COutPutFolderDlg::SetControlsEnabled(bool enabled)
{
    source_->setEnabled(enabled);
    custom_->setEnabled(enabled);
    browse_->setEnabled(enabled);
    folder_->setEnabled(enabled && choice_ == 1);
}

void COutPutFolderDlg::OnChoice(int choice)
{
    choice_ = choice;
    settings_.CustomOutputFolder = choice;
    folder_->setEnabled(choice == 1);
}

void COutPutFolderDlg::ReadBack()
{
    settings_.OutputFolder = folder_->text();
}

void COutPutFolderDlg::OnBrowse()
{
    CFolderDialog dialog(settings_.OutputFolder, window());
    if (dialog.DoModal() != CFolderDialog::IDOK)
        return;
    ReadBack();
    settings_.OutputFolder = dialog.GetFolderPath();
    folder_->setText(settings_.OutputFolder);
}

void COutPutFolderDlg::OnOpen()
{
    ReadBack();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QDesktopServices::openUrl(QUrl::fromLocalFile(settings_.OutputFolder));
    QApplication::restoreOverrideCursor();
}

CLayoutNInOne::CLayoutNInOne(QWidget* parent) : QWidget(parent)
{
    MakeWhite(this);
    // In the order the panel shows them: four, two, one to a sheet.
    radios_[2] = WithId(new QRadioButton(this), 1035);
    radios_[1] = WithId(new QRadioButton(this), 1034);
    radios_[0] = WithId(new QRadioButton(this), 1033);
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i)
        group->addButton(radios_[i], i);
    auto* label = WithId(new QLabel(this), 1020);
    name_ = new QLineEdit(this);   // 1124: the merge name, never localised
    name_->setObjectName(QStringLiteral("mergeName"));

    auto* layout = new QVBoxLayout(this);
    for (int i = 2; i >= 0; --i)
        layout->addWidget(radios_[i]);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(name_, 1);
    layout->addLayout(row);
    LocalizeChildren(this, kLayoutDialog);
    SetChoice(2);
}

int CLayoutNInOne::Choice() const
{
    for (int i = 0; i < 3; ++i)
        if (radios_[i]->isChecked())
            return i;
    return 0;
}

void CLayoutNInOne::SetChoice(int choice)
{
    radios_[choice >= 0 && choice <= 2 ? choice : 0]->setChecked(true);
}

QString CLayoutNInOne::MergeName() const
{
    return name_->text();
}

void CLayoutNInOne::SetMergeName(const QString& name)
{
    name_->setText(name);
}

void CLayoutNInOne::SetRadiosEnabled(bool enabled)
{
    for (QRadioButton* r : radios_)
        r->setEnabled(enabled);
}
