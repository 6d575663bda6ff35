// The main window's small modal dialogs: choosing folders to scan, the
// password prompt of a protected file, the OCR prompt, the tools home and
// the about box.
#pragma once

#include "app/settings.h"

#include <QDialog>
#include <QPixmap>
#include <QStringList>

#include <string>

class CCheckShellFolderCtrl;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// A tree of folders with check boxes; OK gathers the checked folders (Cancel
// interrupts the gathering and the dialog ends as cancelled).
class CBatchCollectDlg : public QDialog {
    Q_OBJECT
public:
    explicit CBatchCollectDlg(QWidget* parent = nullptr, const QString& root = QStringLiteral("/"));
    const QStringList& Folders() const { return folders_; }
    CCheckShellFolderCtrl* Tree() const { return tree_; }

public slots:
    void accept() override;
    void reject() override;

private:
    CCheckShellFolderCtrl* tree_;
    QPushButton* ok_;
    QStringList folders_;
    bool cancelled_ = false;
};

// Asks for the open password of `path`; OK gives the typed text, Cancel and
// closing give an empty password.
class CPasswordDlg : public QDialog {
    Q_OBJECT
public:
    CPasswordDlg(const QString& path, QWidget* parent = nullptr);
    // The password after OK (UTF-8); empty otherwise.
    std::string Password() const { return password_; }
    QLineEdit* Edit() const { return edit_; }

public slots:
    void accept() override;

private:
    QLineEdit* edit_;
    std::string password_;
};

// Offers character recognition for a scanned file; OK stores the check box
// in EnableOCR.
class EableOCRDlg : public QDialog {
    Q_OBJECT
public:
    EableOCRDlg(CFSMSettings& settings, QWidget* parent = nullptr);
    QCheckBox* Check() const { return check_; }

public slots:
    void accept() override;

private:
    CFSMSettings& settings_;
    QCheckBox* check_;
};

// OK and Cancel, nothing else.
class CDlgPdfToolsHome : public QDialog {
    Q_OBJECT
public:
    explicit CDlgPdfToolsHome(QWidget* parent = nullptr);
};

// The program's picture with its version; a click closes it.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    // "Version:%d.%d%d" of the program's version numbers.
    static QString VersionText(int major, int minor, int third);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QPixmap picture_;
    QString version_;
};
