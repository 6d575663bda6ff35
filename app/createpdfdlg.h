// The create-PDF dialog: one PDF from a folder of pictures or from one Word,
// Excel or PowerPoint file, then, when the PDF password options ask for it,
// protected with them. Both steps run on worker threads of their own while
// the dialog waits; each step works on a job record of its own, so a
// conversion that runs meanwhile keeps its record.
#pragma once

#include "app/settings.h"

#include <QDialog>
#include <QString>

#include <functional>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class CCreatePDFDlg : public QDialog {
    Q_OBJECT
public:
    enum Kind { KindPictures = 0, KindWord = 1, KindExcel = 2, KindPowerPoint = 3 };

    // Edits the output folder and the PDF password options of `settings`
    // in place; `settings` must outlive the dialog.
    explicit CCreatePDFDlg(CFSMSettings& settings, QWidget* parent = nullptr);

    // How the dialog tells the user something (a message box by default).
    void SetMessageSink(std::function<void(const QString&)> sink) { message_ = std::move(sink); }

    // What the radio buttons, the edits and the Create button do.
    void SetKind(int kind);
    int Kind() const { return kind_; }
    void SetFolder(const QString& folder);
    void SetSourceFile(const QString& file);
    // Creates the PDF (and protects it when asked) and tells the user how it
    // went: "Create PDF complete!" only when every step succeeded, else the
    // file that could not be made. True on success.
    bool Create();

    QString FolderField() const { return folder_; }
    QString SourceField() const { return source_; }
    QString OutputPath() const { return output_; }
    QString CreatedPath() const { return created_; }
    CFSMSettings& Settings() { return settings_; }

private:
    void ReadControls();
    void ShowControls();
    void Browse();

    QString folder_;
    QString source_;
    QString output_;
    int kind_ = KindPictures;
    QString created_;
    CFSMSettings& settings_;
    std::function<void(const QString&)> message_;

    QRadioButton* kinds_[4];
    QLineEdit* sourceEdit_;
    QPushButton* addFolder_;
    QLabel* folderLabel_;
    QPushButton* addFile_;
    QLabel* fileLabel_;
    QLineEdit* outputEdit_;
    QCheckBox* openPwdCheck_;
    QLineEdit* openPwdEdit_;
    QCheckBox* permPwdCheck_;
    QLineEdit* permPwdEdit_;
    QCheckBox* allow_[3];
};

// The output path of a source (a picture folder or a file): the output
// folder, "/", the source's name without its extension, ".pdf"; "(N)" is put
// before ".pdf" while that name exists. Empty when no free name is found.
QString CreatePdfOutputPath(const QString& outputFolder, const QString& source);

// The first worker step: makes the PDF at `output` by kind; the size
// written, 0 on failure.
unsigned RunCreatePdf(int kind, const QString& folder, const QString& source, const QString& output);

// The second worker step: applies the PDF password, permission and layout
// options of `settings` to the PDF at `created`. The protected copy is
// written beside it and replaces it only when complete. False, with the
// file left as it was, on failure.
bool RunProtectCreatedPdf(const CFSMSettings& settings, const QString& created);
