#include "app/createpdfdlg.h"

#include "app/controls/langstring.h"
#include "app/convertjob.h"
#include "app/createpdfroutes.h"
#include "app/folders.h"
#include "app/localize.h"
#include "app/jobroutes.h"
#include "app/textformat.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include <cstdio>
#include <thread>

namespace {

constexpr int kDialogId = 199;
constexpr int kMaxNameNumber = 2999;

// Runs `work` on a worker thread and waits for it.
template <typename Work>
auto RunOnWorker(Work work)
{
    decltype(work()) result{};
    std::thread worker([&] { result = work(); });
    worker.join();
    return result;
}

} // namespace

QString CreatePdfOutputPath(const QString& outputFolder, const QString& source)
{
    QString trimmed = source;
    while (trimmed.size() > 1 && (trimmed.endsWith(QLatin1Char('/')) || trimmed.endsWith(QLatin1Char('\\'))))
        trimmed.chop(1);
    QString folder = outputFolder;
    if (!folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QLatin1Char('\\')))
        folder += QLatin1Char('/');
    const QString stem = folder + GetBaseName(trimmed);
    const QString ext = QStringLiteral(".pdf");
    if (!QFileInfo::exists(stem + ext))
        return stem + ext;
    for (int n = 1; n <= kMaxNameNumber; ++n) {
        const QString candidate = stem + QStringLiteral("(%1)").arg(n) + ext;
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
    return QString();
}

unsigned RunCreatePdf(int kind, const QString& folder, const QString& source, const QString& output)
{
    switch (kind) {
    case CCreatePDFDlg::KindPictures:
        return ImagesToPdf(folder, output);
    case CCreatePDFDlg::KindWord:
        return DocToPdf(source, folder, output);
    case CCreatePDFDlg::KindExcel:
        return XlsToPdf(source, folder, output);
    case CCreatePDFDlg::KindPowerPoint:
        return PptToPdf(source, folder, output);
    default:
        return 0;
    }
}

bool RunProtectCreatedPdf(const CFSMSettings& settings, const QString& created)
{
    ConvertJob job;
    CopySettings(settings, job.settings);
    job.settings.OutputFormat = 6;
    stru_ItemData item;
    item.source = created.toStdWString();
    item.pageRange = L"All";
    job.items.push_back(item);

    // The protected copy is a new file beside the created one; the created
    // file is read while the copy is written and replaced only afterwards.
    const QString protectedCopy = GetPathFolder(created) + QStringLiteral(".protecting-") +
                                  QFileInfo(created).fileName();
    QFile::remove(protectedCopy);
    if (!ConvertItemToPdf(protectedCopy.toStdWString(), 0, &job, created.toStdWString())) {
        QFile::remove(protectedCopy);
        return false;
    }
    if (std::rename(QFile::encodeName(protectedCopy).constData(), QFile::encodeName(created).constData()) != 0) {
        QFile::remove(protectedCopy);
        return false;
    }
    return true;
}

CCreatePDFDlg::CCreatePDFDlg(CFSMSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings)
{
    message_ = [this](const QString& text) { QMessageBox::information(this, windowTitle(), text); };
    setWindowTitle(QStringLiteral("Create PDF"));

    auto* grid = new QGridLayout(this);
    auto* group = new QButtonGroup(this);
    const int kindIds[4] = {1035, 1109, 1110, 1111};
    for (int i = 0; i < 4; ++i) {
        kinds_[i] = new QRadioButton(this);
        SetControlId(kinds_[i], kindIds[i]);
        group->addButton(kinds_[i], i);
        grid->addWidget(kinds_[i], 0, i);
    }
    kinds_[0]->setChecked(true);
    connect(group, &QButtonGroup::idClicked, this, [this](int) {
        ReadControls();
        ShowControls();
    });

    folderLabel_ = new QLabel(this);
    SetControlId(folderLabel_, 1117);
    fileLabel_ = new QLabel(this);
    SetControlId(fileLabel_, 1125);
    sourceEdit_ = new QLineEdit(this);
    SetControlId(sourceEdit_, 1107);
    addFolder_ = new QPushButton(this);
    SetControlId(addFolder_, 1097);
    addFile_ = new QPushButton(this);
    SetControlId(addFile_, 1126);
    grid->addWidget(folderLabel_, 1, 0);
    grid->addWidget(fileLabel_, 1, 0);
    grid->addWidget(sourceEdit_, 1, 1, 1, 2);
    grid->addWidget(addFolder_, 1, 3);
    grid->addWidget(addFile_, 1, 3);
    connect(addFolder_, &QPushButton::clicked, this, &CCreatePDFDlg::Browse);
    connect(addFile_, &QPushButton::clicked, this, &CCreatePDFDlg::Browse);

    auto* outputLabel = new QLabel(this);
    SetControlId(outputLabel, 1118);
    outputEdit_ = new QLineEdit(this);
    SetControlId(outputEdit_, 1101);
    grid->addWidget(outputLabel, 2, 0);
    grid->addWidget(outputEdit_, 2, 1, 1, 3);

    openPwdCheck_ = new QCheckBox(this);
    SetControlId(openPwdCheck_, 1036);
    openPwdEdit_ = new QLineEdit(this);
    SetControlId(openPwdEdit_, 1041);
    permPwdCheck_ = new QCheckBox(this);
    SetControlId(permPwdCheck_, 1037);
    permPwdEdit_ = new QLineEdit(this);
    SetControlId(permPwdEdit_, 1042);
    for (QLineEdit* e : {openPwdEdit_, permPwdEdit_}) {
        e->setEchoMode(QLineEdit::Password);
        e->setMaxLength(64);
    }
    grid->addWidget(openPwdCheck_, 3, 0);
    grid->addWidget(openPwdEdit_, 3, 1, 1, 3);
    grid->addWidget(permPwdCheck_, 4, 0);
    grid->addWidget(permPwdEdit_, 4, 1, 1, 3);
    const int allowIds[3] = {1038, 1039, 1040};
    for (int i = 0; i < 3; ++i) {
        allow_[i] = new QCheckBox(this);
        SetControlId(allow_[i], allowIds[i]);
        grid->addWidget(allow_[i], 5, i);
    }

    auto* create = new QPushButton(this);
    SetControlId(create, 1108);
    grid->addWidget(create, 6, 3);
    connect(create, &QPushButton::clicked, this, [this] { Create(); });

    // The controls show the record's values.
    outputEdit_->setText(settings_.OutputFolder);
    openPwdCheck_->setChecked(settings_.PDFbOpenPassword != 0);
    openPwdEdit_->setText(settings_.PDFOpenPwd);
    permPwdCheck_->setChecked(settings_.PDFbPemissionPassword != 0);
    permPwdEdit_->setText(settings_.PDFPemissionPwd);
    allow_[0]->setChecked(settings_.PDFbEditProtect != 0);
    allow_[1]->setChecked(settings_.PDFbCopyProtect != 0);
    allow_[2]->setChecked(settings_.PDFbPrintProtect != 0);

    LocalizeChildren(this, kDialogId);
    LocalizeDialogTitle(this, kDialogId);
    ShowControls();
}

void CCreatePDFDlg::ReadControls()
{
    if (kind_ == KindPictures)
        folder_ = sourceEdit_->text();
    else
        source_ = sourceEdit_->text();
    for (int i = 0; i < 4; ++i)
        if (kinds_[i]->isChecked())
            kind_ = i;
    settings_.OutputFolder = outputEdit_->text();
    settings_.PDFbOpenPassword = openPwdCheck_->isChecked() ? 1 : 0;
    settings_.PDFOpenPwd = openPwdEdit_->text();
    settings_.PDFbPemissionPassword = permPwdCheck_->isChecked() ? 1 : 0;
    settings_.PDFPemissionPwd = permPwdEdit_->text();
    settings_.PDFbEditProtect = allow_[0]->isChecked() ? 1 : 0;
    settings_.PDFbCopyProtect = allow_[1]->isChecked() ? 1 : 0;
    settings_.PDFbPrintProtect = allow_[2]->isChecked() ? 1 : 0;
}

void CCreatePDFDlg::ShowControls()
{
    const bool pictures = kind_ == KindPictures;
    kinds_[kind_]->setChecked(true);
    sourceEdit_->setText(pictures ? folder_ : source_);
    addFolder_->setVisible(pictures);
    folderLabel_->setVisible(pictures);
    addFile_->setVisible(!pictures);
    fileLabel_->setVisible(!pictures);
    outputEdit_->setText(settings_.OutputFolder);
    openPwdCheck_->setChecked(settings_.PDFbOpenPassword != 0);
    openPwdEdit_->setText(settings_.PDFOpenPwd);
    permPwdCheck_->setChecked(settings_.PDFbPemissionPassword != 0);
    permPwdEdit_->setText(settings_.PDFPemissionPwd);
}

void CCreatePDFDlg::SetKind(int kind)
{
    if (kind < KindPictures || kind > KindPowerPoint)
        return;
    ReadControls();
    kind_ = kind;
    ShowControls();
}

void CCreatePDFDlg::SetFolder(const QString& folder)
{
    ReadControls();
    folder_ = folder;
    ShowControls();
}

void CCreatePDFDlg::SetSourceFile(const QString& file)
{
    ReadControls();
    source_ = file;
    ShowControls();
}

void CCreatePDFDlg::Browse()
{
    ReadControls();
    if (kind_ == KindPictures) {
        const QString chosen = QFileDialog::getExistingDirectory(this, QString(), folder_);
        if (!chosen.isEmpty())
            folder_ = chosen;
    } else {
        static const char* const filters[] = {
            "",
            "Word File(*.doc *.docx);;All Files (*)",
            "Excel File(*.xls *.xlsx);;All Files (*)",
            "PPT File(*.ppt *.pptx);;All Files (*)",
        };
        const QString chosen = QFileDialog::getOpenFileName(this, QString(), source_,
                                                            QString::fromLatin1(filters[kind_]), nullptr,
                                                            QFileDialog::ReadOnly);
        if (!chosen.isEmpty())
            source_ = chosen;
    }
    ShowControls();
}

bool CCreatePDFDlg::Create()
{
    ReadControls();
    const QString& from = kind_ == KindPictures ? folder_ : source_;
    if (from.isEmpty()) {
        message_(GetLangString(254));
        return false;
    }
    output_ = CreatePdfOutputPath(settings_.OutputFolder, from);
    created_.clear();

    const int kind = kind_;
    const QString folder = folder_;
    const QString source = source_;
    const QString output = output_;
    const unsigned size =
        output.isEmpty() ? 0u : RunOnWorker([&] { return RunCreatePdf(kind, folder, source, output); });
    if (size == 0) {
        message_(FormatText(GetLangString(270), {output.isEmpty() ? from : output}));
        return false;
    }
    created_ = output_;
    if (settings_.PDFbOpenPassword || settings_.PDFbPemissionPassword) {
        const CFSMSettings settings = settings_;
        const QString created = created_;
        const bool ok = RunOnWorker([&] { return RunProtectCreatedPdf(settings, created); });
        if (!ok) {
            message_(FormatText(GetLangString(271), {created}));
            return false;
        }
    }
    message_(GetLangString(255));
    return true;
}
