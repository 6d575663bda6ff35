// Choosing one folder: the desktop's folder browser opened on an initial
// folder, with a status line that shows the current selection in short form.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QFileDialog;
class QLabel;
class QWidget;

class CFolderDialog : public QObject {
    Q_OBJECT
public:
    enum Result { IDOK = 1, IDCANCEL = 2 };

    explicit CFolderDialog(const QString& initialFolder = QString(), QWidget* owner = nullptr);
    ~CFolderDialog() override;

    // Runs the browser; IDOK when a folder was chosen (GetFolderPath gives
    // it), IDCANCEL otherwise.
    virtual int DoModal();
    QString GetFolderPath() const { return chosen_; }

protected:
    // The browser is ready: selects the initial folder and shows it.
    virtual void OnInitialized();
    // The selection moved to `path`.
    virtual void OnSelChanged(const QString& path);
    void SetStatusText(const QString& text);

private:
    QString initial_;
    QString chosen_;
    QPointer<QWidget> owner_;
    QPointer<QLabel> status_;
};

// A path as the status line shows it: the first 35 characters followed by
// "..." when it is longer, else the whole path.
QString ShortFolderPath(const QString& path);
