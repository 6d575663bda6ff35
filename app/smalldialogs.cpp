#include "app/smalldialogs.h"

#include "app/controls/langstring.h"
#include "app/controls/shellfolderctrl.h"
#include "app/folders.h"
#include "app/localize.h"
#include "app/textformat.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("Folvane RAD Ozizedori");

QDialogButtonBox* OkCancel(QDialog* dialog)
{
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    SetControlId(box->button(QDialogButtonBox::Ok), 1);
    SetControlId(box->button(QDialogButtonBox::Cancel), 2);
    QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

// Controls from the dialog's section, the caption from its "title" when set.
void Localize(QDialog* dialog, int dialogId)
{
    LocalizeChildren(dialog, dialogId);
    LocalizeDialogTitle(dialog, dialogId);
}

QPlainTextEdit* ReadOnlyText(QWidget* parent, const QString& text)
{
    auto* edit = new QPlainTextEdit(text, parent);
    edit->setReadOnly(true);
    edit->setFrameShape(QFrame::NoFrame);
    return edit;
}

} // namespace

CBatchCollectDlg::CBatchCollectDlg(QWidget* parent, const QString& root) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Choose for folder"));
    auto* label = new QLabel(QStringLiteral("Please check the folders containing  pdf files to be converted"), this);
    SetControlId(label, 1063);
    tree_ = new CCheckShellFolderCtrl(this);
    tree_->setRootIsDecorated(true);
    tree_->InitTree(root);
    auto* box = OkCancel(this);
    ok_ = box->button(QDialogButtonBox::Ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(tree_, 1);
    layout->addWidget(box);
    resize(420, 480);
    Localize(this, 183);
}

void CBatchCollectDlg::accept()
{
    folders_.clear();
    cancelled_ = false;
    tree_->setEnabled(false);
    ok_->setEnabled(false);
    // The walk pumps events, so Cancel can set the flag while it runs.
    tree_->GetCheckedFolders(folders_, cancelled_);
    if (cancelled_) {
        folders_.clear();
        QDialog::reject();
    } else {
        QDialog::accept();
    }
}

void CBatchCollectDlg::reject()
{
    cancelled_ = true;
    QDialog::reject();
}

CPasswordDlg::CPasswordDlg(const QString& path, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Brontix RAD Ozizedori"));
    auto* prompt = new QLabel(FormatText(GetLangString(263), {path}), this);
    prompt->setWordWrap(true);
    edit_ = new QLineEdit(this);
    edit_->setEchoMode(QLineEdit::Password);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(edit_);
    layout->addWidget(OkCancel(this));
}

void CPasswordDlg::accept()
{
    password_ = edit_->text().toStdString();
    QDialog::accept();
}

EableOCRDlg::EableOCRDlg(CFSMSettings& settings, QWidget* parent) : QDialog(parent), settings_(settings)
{
    auto* layout = new QVBoxLayout(this);
    for (int id : {222, 223, 224})
        layout->addWidget(ReadOnlyText(this, GetLangString(id)));
    check_ = new QCheckBox(QStringLiteral("Convert Scanned PDF with OCR"), this);
    SetControlId(check_, 1077);
    check_->setChecked(settings_.EnableOCR != 0);
    layout->addWidget(check_);
    layout->addWidget(OkCancel(this));
    setWindowTitle(kTitle);
    Localize(this, 193);
}

void EableOCRDlg::accept()
{
    settings_.EnableOCR = check_->isChecked() ? 1 : 0;
    QDialog::accept();
}

CDlgPdfToolsHome::CDlgPdfToolsHome(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("PDF Tools Home"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(OkCancel(this));
    Localize(this, 158);
}

QString CAboutDlg::VersionText(int major, int minor, int third)
{
    return QStringLiteral("Version:%1.%2%3").arg(major).arg(minor).arg(third);
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    picture_ = QPixmap(GetAppFolder() + QStringLiteral("/about.png"));
    int major = 0, minor = 0, third = 0;
    GetFileVersion(major, minor, third);
    version_ = VersionText(major, minor, third);
    setFixedSize(picture_.isNull() ? QSize(480, 240) : picture_.size());
}

void CAboutDlg::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (!picture_.isNull())
        p.drawPixmap(0, 0, picture_);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(18);
    font.setBold(true);
    p.setFont(font);
    // Light text on the picture; on the plain white fallback it would vanish.
    p.setPen(picture_.isNull() ? QColor(125, 125, 125) : QColor(0xF0, 0xF0, 0xF0));
    p.drawText(QPoint(380, 45 + p.fontMetrics().ascent()), version_);
}

void CAboutDlg::mousePressEvent(QMouseEvent* event)
{
    QDialog::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        accept();
}
