// The options dialog: a list of five option pages (OCR, EPUB, images, HTML,
// PDF) beside the page shown. The OCR, EPUB, image and HTML pages work on
// copies that OK stores; the PDF page writes into the settings record
// whenever its controls are read back, and OK refuses sizes and cut values
// out of range, showing the corrected values.
#pragma once

#include "app/settings.h"

#include <QDialog>
#include <QWidget>

#include <functional>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QSpinBox;
class QStackedWidget;

class COptionOCR : public QWidget {
    Q_OBJECT
public:
    COptionOCR(const CFSMSettings& settings, QWidget* parent);
    void Store(CFSMSettings& settings) const;
    QCheckBox* enable;
    QButtonGroup* mode;

private:
    void ApplyRules();
};

class COptionEpub : public QWidget {
    Q_OBJECT
public:
    COptionEpub(const CFSMSettings& settings, QWidget* parent);
    void Store(CFSMSettings& settings) const;
    QButtonGroup* kind; // 0 each page as an image, 1 text and images
    QCheckBox* ignoreImages;
    QCheckBox* ignoreLinks;

private:
    void ApplyRules();
};

class COptionImage : public QWidget {
    Q_OBJECT
public:
    COptionImage(const CFSMSettings& settings, QWidget* parent);
    void Store(CFSMSettings& settings) const;
    QButtonGroup* kind;       // 0 page images, 1 extracted images
    QButtonGroup* resolution; // 0 normal, 1 high

private:
    void ApplyRules();
};

class COptionHtml : public QWidget {
    Q_OBJECT
public:
    COptionHtml(const CFSMSettings& settings, QWidget* parent);
    void Store(CFSMSettings& settings) const;
    QCheckBox* ignoreLinks;
    QCheckBox* ignoreImages;
};

class COptionPdf : public QWidget {
    Q_OBJECT
public:
    COptionPdf(CFSMSettings& settings, QWidget* parent);
    // Reads every control into the settings record.
    void ReadControls();
    // Shows the record's values.
    void ShowValues();

    QButtonGroup* size;       // PDFSizeAx 0..9
    QSpinBox* height;         // millimetres
    QSpinBox* width;
    QButtonGroup* orientation;
    QCheckBox* openPassword;
    QLineEdit* openPwd;
    QCheckBox* permissionPassword;
    QLineEdit* permissionPwd;
    QCheckBox* allow[3];      // edit, copy, print
    QCheckBox* cutEdge;
    QSpinBox* cut[4];         // left, bottom, right, top

protected:
    // WM_RELOAD_LANGUAGE: the page fetches its texts again.
    bool event(QEvent* event) override;

private:
    void ApplyRules();

    CFSMSettings& settings_;
};

class CDlgOption : public QDialog {
    Q_OBJECT
public:
    // `outputFormat` is the chosen output format (1 to 7) or -1; it picks
    // the page shown first. `settings` must outlive the dialog.
    CDlgOption(CFSMSettings& settings, int outputFormat, QWidget* parent = nullptr);

    // How the dialog tells the user something (a message box by default).
    void SetMessageSink(std::function<void(const QString&)> sink) { message_ = std::move(sink); }

    void ShowPage(int entry);
    int CurrentPage() const;
    QString TitleText() const;

    COptionOCR* ocrPage() { return ocr_; }
    COptionEpub* epubPage() { return epub_; }
    COptionImage* imagePage() { return image_; }
    COptionHtml* htmlPage() { return html_; }
    COptionPdf* pdfPage() { return pdf_; }

public slots:
    // OK: false, and the dialog stays open, when a value was refused.
    bool Confirm();
    void accept() override { Confirm(); }

private:
    CFSMSettings& settings_;
    std::function<void(const QString&)> message_;
    QListWidget* list_;
    QLabel* title_;
    QStackedWidget* stack_;
    QString titles_[5];
    COptionOCR* ocr_;
    COptionEpub* epub_;
    COptionImage* image_;
    COptionHtml* html_;
    COptionPdf* pdf_;
};
