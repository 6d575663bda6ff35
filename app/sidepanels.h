// The two side panels under the main window's switch bar: where outputs go,
// and how a PDF output lays its pages out and what a merged output is named.
#pragma once

#include "app/settings.h"

#include <QWidget>

class QLineEdit;
class QPushButton;
class QRadioButton;

// Radio 1001 "source folder" (choice 0) or 1002 "custom" (choice 1), the
// folder edit 1003, "..." 1004 and "Open" 1005. A choice is stored in the
// settings at once.
class COutPutFolderDlg : public QWidget {
    Q_OBJECT
public:
    COutPutFolderDlg(CFSMSettings& settings, QWidget* parent = nullptr);

    // Shows the choice and folder the settings hold.
    void LoadFromSettings();
    int Choice() const { return choice_; }
    QString FolderText() const;
    void SetControlsEnabled(bool enabled);

    QRadioButton* SourceRadio() const { return source_; }
    QRadioButton* CustomRadio() const { return custom_; }
    QLineEdit* FolderEdit() const { return folder_; }

private:
    void OnChoice(int choice);
    void OnBrowse();
    void OnOpen();
    // Reads the folder text back into OutputFolder.
    void ReadBack();

    CFSMSettings& settings_;
    int choice_ = 1;
    QRadioButton* source_;
    QRadioButton* custom_;
    QLineEdit* folder_;
    QPushButton* browse_;
    QPushButton* open_;
};

// Radios 1035 (four to a sheet, choice 2), 1034 (two, 1) and 1033 (one, 0)
// and the merged output's name, edit 1124.
class CLayoutNInOne : public QWidget {
    Q_OBJECT
public:
    explicit CLayoutNInOne(QWidget* parent = nullptr);

    int Choice() const;
    void SetChoice(int choice);
    QString MergeName() const;
    void SetMergeName(const QString& name);
    // The three radios (the name edit stays usable).
    void SetRadiosEnabled(bool enabled);
    QLineEdit* NameEdit() const { return name_; }

private:
    QRadioButton* radios_[3];   // choices 0, 1, 2
    QLineEdit* name_;
};
