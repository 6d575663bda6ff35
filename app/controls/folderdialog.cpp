#include "app/controls/folderdialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>

namespace {

constexpr qsizetype kShortLength = 35;

} // namespace

QString ShortFolderPath(const QString& path)
{
    if (path.size() <= kShortLength)
        return path;
    return path.left(kShortLength) + QStringLiteral("...");
}

CFolderDialog::CFolderDialog(const QString& initialFolder, QWidget* owner)
    : initial_(initialFolder), owner_(owner)
{
}

CFolderDialog::~CFolderDialog() = default;

int CFolderDialog::DoModal()
{
    chosen_ = initial_;
    QFileDialog dialog(owner_);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Current Selection"));
    auto* status = new QLabel(&dialog);
    status->setTextFormat(Qt::PlainText);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(status, grid->rowCount(), 0, 1, -1);
    status_ = status;
    connect(&dialog, &QFileDialog::currentChanged, this, &CFolderDialog::OnSelChanged);
    connect(&dialog, &QFileDialog::directoryEntered, this, &CFolderDialog::OnSelChanged);
    if (!initial_.isEmpty())
        dialog.setDirectory(initial_);
    OnInitialized();

    const bool accepted = dialog.exec() == QDialog::Accepted;
    const QStringList chosen = dialog.selectedFiles();
    status_ = nullptr;
    if (!accepted || chosen.isEmpty() || !QFileInfo(chosen.first()).isDir())
        return IDCANCEL;
    chosen_ = QDir::cleanPath(chosen.first());
    return IDOK;
}

void CFolderDialog::OnInitialized()
{
    SetStatusText(ShortFolderPath(initial_));
}

void CFolderDialog::OnSelChanged(const QString& path)
{
    chosen_ = path;
    SetStatusText(ShortFolderPath(path));
}

void CFolderDialog::SetStatusText(const QString& text)
{
    if (status_)
        status_->setText(text);
}
