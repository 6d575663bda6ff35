#include "app/optiondialog.h"

#include "app/controls/langstring.h"
#include "app/controls/windowmessage.h"
#include "app/localize.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr int kOptionDialog = 160;
constexpr int kOcrPage = 184;
constexpr int kEpubPage = 162;
constexpr int kImagePage = 106;
constexpr int kHtmlPage = 161;
constexpr int kPdfPage = 169;

QCheckBox* Check(QWidget* page, QLayout* layout, int id)
{
    auto* box = new QCheckBox(page);
    SetControlId(box, id);
    layout->addWidget(box);
    return box;
}

// A radio group whose value is the position of the checked button in `ids`.
QButtonGroup* Radios(QWidget* page, QLayout* layout, std::initializer_list<int> ids)
{
    auto* group = new QButtonGroup(page);
    int value = 0;
    for (int id : ids) {
        auto* button = new QRadioButton(page);
        SetControlId(button, id);
        group->addButton(button, value++);
        layout->addWidget(button);
    }
    return group;
}

void SetRadio(QButtonGroup* group, int value)
{
    if (QAbstractButton* b = group->button(value))
        b->setChecked(true);
}

int RadioValue(const QButtonGroup* group, int fallback)
{
    const int id = group->checkedId();
    return id < 0 ? fallback : id;
}

void EnableGroup(QButtonGroup* group, bool enabled)
{
    for (QAbstractButton* b : group->buttons())
        b->setEnabled(enabled);
}

QSpinBox* Number(QWidget* page, int id, int maximum)
{
    auto* spin = new QSpinBox(page);
    if (id)
        SetControlId(spin, id);
    spin->setRange(0, maximum);
    return spin;
}

} // namespace

COptionOCR::COptionOCR(const CFSMSettings& s, QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    enable = Check(this, layout, 1077);
    mode = Radios(this, layout, {1079, 1080});
    for (int id : {222, 223}) {
        auto* text = new QLabel(GetLangString(id), this);
        SetControlId(text, id == 222 ? 1081 : 1083);
        text->setWordWrap(true);
        layout->addWidget(text);
    }
    layout->addStretch();
    enable->setChecked(s.EnableOCR != 0);
    SetRadio(mode, s.OCRMode);
    connect(enable, &QCheckBox::clicked, this, &COptionOCR::ApplyRules);
    LocalizeChildren(this, kOcrPage);
    ApplyRules();
}

void COptionOCR::ApplyRules()
{
    EnableGroup(mode, enable->isChecked());
}

void COptionOCR::Store(CFSMSettings& s) const
{
    s.EnableOCR = enable->isChecked() ? 1 : 0;
    s.OCRMode = RadioValue(mode, s.OCRMode);
}

COptionEpub::COptionEpub(const CFSMSettings& s, QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    kind = Radios(this, layout, {1022, 1021});
    ignoreImages = Check(this, layout, 1023);
    ignoreLinks = Check(this, layout, 1024);
    layout->addStretch();
    SetRadio(kind, s.EpubConvertKind);
    ignoreImages->setChecked(s.EpubIgnoreImg != 0);
    ignoreLinks->setChecked(s.EpubIgnoreHyperlink != 0);
    connect(kind, &QButtonGroup::idClicked, this, &COptionEpub::ApplyRules);
    LocalizeChildren(this, kEpubPage);
    ApplyRules();
}

void COptionEpub::ApplyRules()
{
    ignoreImages->setEnabled(RadioValue(kind, 0) != 0);
}

void COptionEpub::Store(CFSMSettings& s) const
{
    s.EpubConvertKind = RadioValue(kind, s.EpubConvertKind);
    s.EpubIgnoreImg = ignoreImages->isChecked() ? 1 : 0;
    s.EpubIgnoreHyperlink = ignoreLinks->isChecked() ? 1 : 0;
}

COptionImage::COptionImage(const CFSMSettings& s, QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    kind = Radios(this, layout, {1025, 1026});
    resolution = Radios(this, layout, {1074, 1075});
    layout->addStretch();
    SetRadio(kind, s.ImgConvertKind);
    SetRadio(resolution, s.ImageHighRes);
    connect(kind, &QButtonGroup::idClicked, this, &COptionImage::ApplyRules);
    LocalizeChildren(this, kImagePage);
    ApplyRules();
}

void COptionImage::ApplyRules()
{
    EnableGroup(resolution, RadioValue(kind, 0) == 0);
}

void COptionImage::Store(CFSMSettings& s) const
{
    s.ImgConvertKind = RadioValue(kind, s.ImgConvertKind);
    s.ImageHighRes = RadioValue(resolution, s.ImageHighRes);
}

COptionHtml::COptionHtml(const CFSMSettings& s, QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    ignoreLinks = Check(this, layout, 1024);
    ignoreImages = Check(this, layout, 1025);
    layout->addStretch();
    ignoreLinks->setChecked(s.HtmlIgnoreHyperlink != 0);
    ignoreImages->setChecked(s.HtmlIgnoreImg != 0);
    LocalizeChildren(this, kHtmlPage);
}

void COptionHtml::Store(CFSMSettings& s) const
{
    s.HtmlIgnoreHyperlink = ignoreLinks->isChecked() ? 1 : 0;
    s.HtmlIgnoreImg = ignoreImages->isChecked() ? 1 : 0;
}

COptionPdf::COptionPdf(CFSMSettings& s, QWidget* parent) : QWidget(parent), settings_(s)
{
    auto* layout = new QVBoxLayout(this);
    auto* sizes = new QGridLayout;
    layout->addLayout(sizes);
    size = new QButtonGroup(this);
    const int sizeIds[10] = {1029, 1030, 1031, 1032, 1057, 1058, 1059, 1060, 1061, 1098};
    for (int i = 0; i < 10; ++i) {
        auto* button = new QRadioButton(this);
        SetControlId(button, sizeIds[i]);
        size->addButton(button, i);
        sizes->addWidget(button, i / 5, i % 5);
    }
    auto* custom = new QHBoxLayout;
    layout->addLayout(custom);
    height = Number(this, 1099, 99999);
    width = Number(this, 1101, 99999);
    custom->addWidget(height);
    custom->addWidget(width);
    auto* orient = new QHBoxLayout;
    layout->addLayout(orient);
    orientation = Radios(this, orient, {1084, 1085, 1086});

    openPassword = Check(this, layout, 1036);
    openPwd = new QLineEdit(this);
    SetControlId(openPwd, 1041);
    layout->addWidget(openPwd);
    permissionPassword = Check(this, layout, 1037);
    permissionPwd = new QLineEdit(this);
    SetControlId(permissionPwd, 1042);
    layout->addWidget(permissionPwd);
    for (QLineEdit* e : {openPwd, permissionPwd}) {
        e->setMaxLength(64);
        e->setEchoMode(QLineEdit::Password);
    }
    auto* allows = new QHBoxLayout;
    layout->addLayout(allows);
    const int allowIds[3] = {1038, 1039, 1040};
    for (int i = 0; i < 3; ++i)
        allow[i] = Check(this, allows, allowIds[i]);

    cutEdge = Check(this, layout, 1105);
    auto* cuts = new QHBoxLayout;
    layout->addLayout(cuts);
    const int cutLabels[4] = {1106, 1107, 1108, 1109};
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(this);
        SetControlId(label, cutLabels[i]);
        cuts->addWidget(label);
        cut[i] = Number(this, 0, 100);
        cuts->addWidget(cut[i]);
    }
    layout->addStretch();

    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xE9, 0xE9, 0xE9));
    setPalette(pal);

    // A size outside what the edits take counts as none.
    if (settings_.PDFSizeHeight < 0 || settings_.PDFSizeHeight > 2500)
        settings_.PDFSizeHeight = 0;
    if (settings_.PDFSizeWidth < 0 || settings_.PDFSizeWidth > 2500)
        settings_.PDFSizeWidth = 0;
    ShowValues();

    connect(size, &QButtonGroup::idClicked, this, [this](int) {
        ReadControls();
        ApplyRules();
    });
    connect(cutEdge, &QCheckBox::clicked, this, [this] {
        ReadControls();
        ApplyRules();
    });
    connect(openPassword, &QCheckBox::clicked, this, &COptionPdf::ApplyRules);
    connect(permissionPassword, &QCheckBox::clicked, this, &COptionPdf::ApplyRules);
    LocalizeChildren(this, kPdfPage);
    ApplyRules();
}

bool COptionPdf::event(QEvent* e)
{
    const WindowMessage* m = AsWindowMessage(e);
    if (m && m->message() == WM_RELOAD_LANGUAGE) {
        LocalizeChildren(this, kPdfPage);
        return true;
    }
    return QWidget::event(e);
}

void COptionPdf::ShowValues()
{
    const CFSMSettings& s = settings_;
    SetRadio(size, s.PDFSizeAx);
    height->setValue(s.PDFSizeHeight);
    width->setValue(s.PDFSizeWidth);
    SetRadio(orientation, s.PDFOrientation);
    openPassword->setChecked(s.PDFbOpenPassword != 0);
    openPwd->setText(s.PDFOpenPwd);
    permissionPassword->setChecked(s.PDFbPemissionPassword != 0);
    permissionPwd->setText(s.PDFPemissionPwd);
    allow[0]->setChecked(s.PDFbEditProtect != 0);
    allow[1]->setChecked(s.PDFbCopyProtect != 0);
    allow[2]->setChecked(s.PDFbPrintProtect != 0);
    cutEdge->setChecked(s.PDFbCutEdge != 0);
    cut[0]->setValue(s.PDFCutLeft);
    cut[1]->setValue(s.PDFCutBottom);
    cut[2]->setValue(s.PDFCutRight);
    cut[3]->setValue(s.PDFCutTop);
}

void COptionPdf::ReadControls()
{
    CFSMSettings& s = settings_;
    s.PDFSizeAx = RadioValue(size, s.PDFSizeAx);
    s.PDFSizeHeight = height->value();
    s.PDFSizeWidth = width->value();
    s.PDFOrientation = RadioValue(orientation, s.PDFOrientation);
    s.PDFbOpenPassword = openPassword->isChecked() ? 1 : 0;
    s.PDFOpenPwd = openPwd->text();
    s.PDFbPemissionPassword = permissionPassword->isChecked() ? 1 : 0;
    s.PDFPemissionPwd = permissionPwd->text();
    s.PDFbEditProtect = allow[0]->isChecked() ? 1 : 0;
    s.PDFbCopyProtect = allow[1]->isChecked() ? 1 : 0;
    s.PDFbPrintProtect = allow[2]->isChecked() ? 1 : 0;
    s.PDFbCutEdge = cutEdge->isChecked() ? 1 : 0;
    s.PDFCutLeft = cut[0]->value();
    s.PDFCutBottom = cut[1]->value();
    s.PDFCutRight = cut[2]->value();
    s.PDFCutTop = cut[3]->value();
}

void COptionPdf::ApplyRules()
{
    const bool custom = RadioValue(size, 0) == 9;
    height->setEnabled(custom);
    width->setEnabled(custom);
    openPwd->setEnabled(openPassword->isChecked());
    const bool permission = permissionPassword->isChecked();
    permissionPwd->setEnabled(permission);
    for (QCheckBox* a : allow)
        a->setEnabled(permission);
    for (QSpinBox* c : cut)
        c->setEnabled(cutEdge->isChecked());
}

CDlgOption::CDlgOption(CFSMSettings& settings, int outputFormat, QWidget* parent)
    : QDialog(parent), settings_(settings)
{
    message_ = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };
    setWindowTitle(QStringLiteral("Option"));

    auto* outer = new QVBoxLayout(this);
    auto* body = new QHBoxLayout;
    outer->addLayout(body);
    list_ = new QListWidget(this);
    SetControlId(list_, 1017);
    list_->setFixedWidth(104);
    QPalette pal = list_->palette();
    pal.setColor(QPalette::Base, QColor(0xFF, 0xFA, 0xF1));
    list_->setPalette(pal);
    body->addWidget(list_);
    auto* right = new QVBoxLayout;
    body->addLayout(right);
    title_ = new QLabel(this);
    SetControlId(title_, 1020);
    QFont bold(QStringLiteral("Verdana"), 10);
    bold.setBold(true);
    title_->setFont(bold);
    right->addWidget(title_);
    stack_ = new QStackedWidget(this);
    right->addWidget(stack_);

    ocr_ = new COptionOCR(settings_, this);
    epub_ = new COptionEpub(settings_, this);
    image_ = new COptionImage(settings_, this);
    html_ = new COptionHtml(settings_, this);
    pdf_ = new COptionPdf(settings_, this);
    const struct {
        QString text;
        QString title;
        QWidget* page;
    } entries[5] = {
        {QStringLiteral("OCR"), QStringLiteral("OCR"), ocr_},
        {GetLangString(165), GetLangString(168), epub_},
        {GetLangString(166), GetLangString(169), image_},
        {GetLangString(167), GetLangString(170), html_},
        {GetLangString(175), GetLangString(176), pdf_},
    };
    for (int i = 0; i < 5; ++i) {
        list_->addItem(entries[i].text);
        titles_[i] = entries[i].title;
        stack_->addWidget(entries[i].page);
    }
    connect(list_, &QListWidget::currentRowChanged, this, &CDlgOption::ShowPage);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    SetControlId(ok, 1);
    SetControlId(cancel, 2);
    connect(ok, &QPushButton::clicked, this, &CDlgOption::Confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    outer->addWidget(buttons);

    int first = 0;
    switch (outputFormat) {
    case 1: first = 1; break;
    case 3: first = 2; break;
    case 4: first = 3; break;
    case 6: first = 4; break;
    default: first = 0; break;
    }
    ShowPage(first);
    LocalizeChildren(this, kOptionDialog);
    LocalizeDialogTitle(this, kOptionDialog);
}

void CDlgOption::ShowPage(int entry)
{
    if (entry < 0 || entry >= 5)
        return;
    stack_->setCurrentIndex(entry);
    title_->setText(titles_[entry]);
    if (list_->currentRow() != entry)
        list_->setCurrentRow(entry);
}

int CDlgOption::CurrentPage() const
{
    return stack_->currentIndex();
}

QString CDlgOption::TitleText() const
{
    return title_->text();
}

bool CDlgOption::Confirm()
{
    pdf_->ReadControls();
    CFSMSettings& s = settings_;
    if (s.PDFSizeAx == 9 && (s.PDFSizeHeight < 1 || s.PDFSizeHeight > 297 || s.PDFSizeWidth < 1 ||
                             s.PDFSizeWidth > 210)) {
        message_(GetLangString(251));
        s.PDFSizeHeight = 297;
        s.PDFSizeWidth = 210;
        pdf_->ShowValues();
        return false;
    }
    if (s.PDFbCutEdge) {
        for (int v : {s.PDFCutLeft, s.PDFCutBottom, s.PDFCutRight, s.PDFCutTop}) {
            if (v < 1 || v > 49) {
                message_(GetLangString(252));
                s.PDFCutLeft = s.PDFCutBottom = s.PDFCutRight = s.PDFCutTop = 5;
                pdf_->ShowValues();
                return false;
            }
        }
    }
    epub_->Store(s);
    html_->Store(s);
    image_->Store(s);
    ocr_->Store(s);
    done(QDialog::Accepted);
    return true;
}
